// Binary workbooks (.xls) through libfreexl: worksheets and their cells.
// The format's defined names are not read, so such a workbook has none.
#include "platform/workbook/WorkbookReaders.h"

#include "foundation/FileDescriptor.h"
#include "foundation/Folders.h"
#include "platform/workbook/BinaryScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <freexl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bw {

namespace {

// The library's handle, released on every path: the library asks for a
// close after a failed open as well.
struct TFreeXlHandle {
  const void* Handle = nullptr;
  TFreeXlHandle() = default;
  TFreeXlHandle(const TFreeXlHandle&) = delete;
  TFreeXlHandle& operator=(const TFreeXlHandle&) = delete;
  ~TFreeXlHandle() {
    if (Handle) freexl_close(Handle);
  }
};

// Copies a file's bytes into another from the start, each block counted
// against the budget where one is given. False when a read or a write
// fails.
bool CopyBytes(int from, int to, TWorkbookBudget* budget) {
  std::vector<char> buffer(64 * 1024);
  for (off_t at = 0;;) {
    const ssize_t got = pread(from, buffer.data(), buffer.size(), at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    if (budget) budget->TakeBytes(static_cast<uint64_t>(got));
    for (ssize_t put = 0; put < got;) {
      const ssize_t n = pwrite(to, buffer.data() + put, static_cast<size_t>(got - put), at + put);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      put += n;
    }
    at += got;
  }
}

// A sealed copy of the file in memory, so that the scan and the library
// read the same bytes whatever happens to the file meanwhile.
TFileHandle PrivateCopy(int fd, TWorkbookBudget& budget) {
  TFileHandle copy(memfd_create("workbook", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  if (copy.Fd >= 0 && CopyBytes(fd, copy.Fd, &budget) &&
      fcntl(copy.Fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0)
    return copy;
  throw WorkbookError(budget.File() + " cannot be read.");
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The sealed copy's name under /proc, by which the library opens it; empty
// where that name leads elsewhere or nowhere (no /proc is mounted, as in a
// chroot or a container).
std::string ProcName(int fd) {
  std::string name = "/proc/self/fd/" + std::to_string(fd);
  const TFileDescriptor named(open(name.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat a, b;
  if (!named || fstat(named.Get(), &a) != 0 || fstat(fd, &b) != 0 || !SameFile(a, b)) return {};
  return name;
}

// A folder that no other user can rename, replace or empty: owned by root
// or by this user, and writable by its owner alone unless it is sticky
// (as /tmp is).
bool OthersCannotChange(const struct stat& st) {
  return S_ISDIR(st.st_mode) && (st.st_uid == 0 || st.st_uid == geteuid()) &&
         ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0);
}

// The temporary folder without links, ending in "/", where every folder
// from the root down is one that others cannot change; empty, with why
// set, where that is not so.
std::string SafeTempFolder(std::string& why) {
  char* resolved = realpath(GetTempFolder().c_str(), nullptr);
  if (!resolved) {
    why = std::strerror(errno);
    return {};
  }
  std::string path = resolved;
  std::free(resolved);
  TFileDescriptor at(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  for (size_t start = 1;;) {
    struct stat st;
    if (!at || fstat(at.Get(), &st) != 0) {
      why = std::strerror(errno);
      return {};
    }
    if (!OthersCannotChange(st)) {
      why = "other users may change '" + path.substr(0, std::max<size_t>(start - 1, 1)) + "'";
      return {};
    }
    if (start >= path.size()) break;
    const size_t end = std::min(path.find('/', start), path.size());
    at.Reset(openat(at.Get(), path.substr(start, end - start).c_str(),
                    O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    start = end + 1;
  }
  return path.back() == '/' ? path : path + "/";
}

constexpr const char* CopyFolderPrefix = "brantwick-workbook-";
constexpr const char* CopyName = "workbook.xls";

// Removes the private folders that reads killed while they copied left in
// the temporary folder: this user's, older than ten minutes (a read holds
// its folder for a moment, and locks it from the start) and not locked.
void RemoveLeftCopies(const std::string& folder) {
  const TFileDescriptor at(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  TFileDescriptor listed(at ? dup(at.Get()) : -1);
  DIR* list = listed ? fdopendir(listed.Get()) : nullptr;
  if (!list) return;
  listed.Release();
  const time_t old = time(nullptr) - 600;
  while (const dirent* entry = readdir(list)) {
    if (!std::string_view(entry->d_name).starts_with(CopyFolderPrefix)) continue;
    const TFileDescriptor left(
        openat(at.Get(), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!left || fstat(left.Get(), &st) != 0 || st.st_uid != geteuid() || st.st_mtime > old ||
        flock(left.Get(), LOCK_EX | LOCK_NB) != 0)
      continue;
    unlinkat(left.Get(), CopyName, 0);
    unlinkat(at.Get(), entry->d_name, AT_REMOVEDIR);
  }
  closedir(list);
}

// Where /proc does not name the sealed copy, the library reads a file
// written from it into a private folder of the temporary folder: a folder
// of this user's alone, made anew and locked while it is used, reached
// only through folders that no other user can change, so that the name
// given to the library leads to those bytes and no others. The file goes
// once the library has opened it (it reads the whole file as it opens
// it), the folder then too, or with this object where the folder is not
// empty yet: a FUSE file system keeps an open file that was removed under
// a hidden name in its folder until it is closed.
class TCopyOnDisk {
public:
  TCopyOnDisk(int sealed, const std::string& file) {
    auto fail = [&](const std::string& why) {
      return WorkbookError(file + " cannot be read: with no /proc, it is read from a private " +
                           "copy, which cannot be made in '" + GetTempFolder() + "' (" + why +
                           ").");
    };
    std::string why;
    const std::string base = SafeTempFolder(why);
    if (base.empty()) throw fail(why);
    RemoveLeftCopies(base);
    std::string pattern = base + CopyFolderPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) throw fail(std::strerror(errno));
    FMade.Folder = pattern;
    FMade.Fd.Reset(open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!FMade.Fd) throw fail(std::strerror(errno));
    // Where the file system takes no locks, only the folder's age keeps
    // another copy of the program from taking it for a killed read's.
    flock(FMade.Fd.Get(), LOCK_EX | LOCK_NB);
    // The mode is set whatever the file system gave the new folder; one
    // that takes none (FAT through FUSE, which may enforce none) is not used.
    struct stat st;
    if (fchmod(FMade.Fd.Get(), 0700) != 0) throw fail("the file system there keeps no permissions");
    if (fstat(FMade.Fd.Get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 077) != 0)
      throw fail("the folder made there is not private");
    TFileDescriptor out(openat(FMade.Fd.Get(), CopyName,
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out) throw fail(std::strerror(errno));
    FMade.HasCopy = true;
    // The bytes were counted against the budget as they went into the
    // sealed copy, which goes before the library reads these.
    if (!CopyBytes(sealed, out.Get(), nullptr) || close(out.Release()) != 0)
      throw fail(std::strerror(errno));
    FPath = pattern + "/" + CopyName;
  }
  const std::string& Path() const { return FPath; }
  // Called once the library has opened the file.
  void Opened() { FMade.Remove(); }

private:
  // What was made, removed on every way out, a failed construction too.
  struct TMade {
    std::string Folder;
    TFileDescriptor Fd;
    bool HasCopy = false;
    TMade() = default;
    TMade(const TMade&) = delete;
    TMade& operator=(const TMade&) = delete;
    ~TMade() { Remove(); }
    void Remove() {
      if (HasCopy && unlinkat(Fd.Get(), CopyName, 0) == 0) HasCopy = false;
      if (!Folder.empty() && rmdir(Folder.c_str()) == 0) Folder.clear();
    }
  };
  TMade FMade;
  std::string FPath;
};

class TBinaryWorkbook : public TWorkbook {
public:
  TBinaryWorkbook(int fd, const std::string& file, const TWorkbookLimits& limits)
      : TWorkbook(file, limits) {
    TFileHandle copy = PrivateCopy(fd, FBudget);
    // libfreexl sets up every worksheet's whole grid as it opens the file:
    // what it would take is counted first.
    const TBinaryScan scan = ScanBinaryWorkbook(copy.Fd, limits.MaxGridPositions);
    switch (scan.Verdict) {
    case TBinaryVerdict::Readable:
      break;
    case TBinaryVerdict::TooLarge:
      FBudget.TooLarge("its worksheets declare more than " + CountText(limits.MaxGridPositions) +
                       " cell positions");
    case TBinaryVerdict::Encrypted:
      throw WorkbookError(file + " is protected by a password.");
    case TBinaryVerdict::NoWorkbook:
      throw NotAWorkbookError(file + " is not a workbook.");
    case TBinaryVerdict::Damaged:
      throw WorkbookError(file + " is damaged: " + scan.Damage + ".");
    }
    const std::string damaged = file + " is damaged: its workbook stream cannot be read.";
    int rc;
    if (const std::string name = ProcName(copy.Fd); !name.empty()) {
      rc = freexl_open(name.c_str(), &FFile.Handle);
    } else {
      FCopyOnDisk = std::make_unique<TCopyOnDisk>(copy.Fd, file);
      close(copy.Release());
      rc = freexl_open(FCopyOnDisk->Path().c_str(), &FFile.Handle);
      FCopyOnDisk->Opened();
    }
    // The library can report success without giving a handle.
    if (rc != FREEXL_OK || !FFile.Handle) throw WorkbookError(damaged);
    unsigned int info = 0;
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
      throw WorkbookError(file + " is protected by a password.");
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK)
      FDate1904 = info == FREEXL_BIFF_DATEMODE_1904;
    unsigned int count = 0;
    if (freexl_get_info(FFile.Handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
      throw WorkbookError(damaged);
    for (unsigned int i = 0; i < count; ++i) {
      const char* name = nullptr;
      if (freexl_get_worksheet_name(FFile.Handle, static_cast<unsigned short>(i), &name) !=
          FREEXL_OK)
        throw WorkbookError(damaged);
      FSheetNames.emplace_back(name ? name : "");
    }
  }

protected:
  std::shared_ptr<const TWorksheet> ReadWorksheet(int index) override {
    auto sheet = std::make_shared<TWorksheet>(BinaryGrid, &FBudget);
    sheet->SetSharedStrings(FSharedTexts);
    ForEachCell(index, [&](uint32_t row, uint32_t column, const FreeXL_CellValue& v) {
      Store(*sheet, row, column, v);
      return true;
    });
    sheet->Finish();
    return sheet;
  }

  // The library holds every cell: they are looked at up to the first that
  // shows something, and none is kept.
  bool PeekShowsNothing(int index) override {
    TWorksheet sheet(BinaryGrid);
    sheet.SetSharedStrings(FSharedTexts);
    ForEachCell(index, [&](uint32_t row, uint32_t column, const FreeXL_CellValue& v) {
      Store(sheet, row, column, v);
      return sheet.ShowsNothing();
    });
    return sheet.ShowsNothing();
  }

private:
  // Calls visit with each position of the sheet's grid (row and column
  // from 1) and its value, while visit says to go on.
  template <typename F>
  void ForEachCell(int index, F visit) {
    const std::string& name = FSheetNames[static_cast<size_t>(index)];
    auto damaged = [&] {
      return WorkbookError(FBudget.File() + " is damaged: its worksheet '" + name +
                           "' cannot be read.");
    };
    if (freexl_select_active_worksheet(FFile.Handle, static_cast<unsigned short>(index)) !=
        FREEXL_OK)
      throw damaged();
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(FFile.Handle, &rows, &columns) != FREEXL_OK) throw damaged();
    if (rows > BinaryGrid.Rows || columns > BinaryGrid.Columns) throw damaged();
    for (unsigned int r = 0; r < rows; ++r)
      for (unsigned short c = 0; c < columns; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(FFile.Handle, r, c, &v) != FREEXL_OK) throw damaged();
        if (!visit(r + 1, c + 1u, v)) return;
      }
  }

  void Store(TWorksheet& sheet, uint32_t row, uint32_t column, const FreeXL_CellValue& v) {
    double serial;
    switch (v.type) {
    case FREEXL_CELL_INT:
      sheet.AddNumber(row, column, v.value.int_value);
      break;
    case FREEXL_CELL_DOUBLE:
      sheet.AddNumber(row, column, v.value.double_value);
      break;
    case FREEXL_CELL_TEXT:
      sheet.AddText(row, column, v.value.text_value ? v.value.text_value : "");
      break;
    case FREEXL_CELL_SST_TEXT:
      sheet.AddSharedText(row, column, SharedText(v.value.text_value));
      break;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
      // The library writes dates out as text; the cell's value is the
      // serial number behind it.
      if (v.value.text_value && DateTextToSerial(v.value.text_value, FDate1904, serial))
        sheet.AddNumber(row, column, serial);
      else
        sheet.AddText(row, column, v.value.text_value ? v.value.text_value : "");
      break;
    default:
      break; // no value
    }
  }

  // The library hands out each shared string at its one place: it is
  // copied once however many cells show it.
  uint32_t SharedText(const char* text) {
    auto [known, added] = FSharedIndex.try_emplace(text, 0);
    if (added) known->second = FSharedTexts->Add(text ? text : "", &FBudget);
    return known->second;
  }

  // Declared before the library's handle, so that it goes after the
  // library has closed the file.
  std::unique_ptr<TCopyOnDisk> FCopyOnDisk;
  TFreeXlHandle FFile;
  bool FDate1904 = false;
  std::shared_ptr<TStringPool> FSharedTexts = std::make_shared<TStringPool>();
  std::unordered_map<const char*, uint32_t> FSharedIndex;
};

} // namespace

std::unique_ptr<TWorkbook> OpenBinaryWorkbook(TFileHandle handle, const std::string& file,
                                              const TWorkbookLimits& limits) {
  return std::make_unique<TBinaryWorkbook>(handle.Fd, file, limits);
}

} // namespace bw
