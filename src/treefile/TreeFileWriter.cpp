// Writing a tree file. The serializer is ours so that the bytes are exactly
// the format's: CR LF after every line while comments keep their bare LF,
// "<X/>" for an empty value, and no character references but for a CR
// within a text.
#include "treefile/TreeFile.h"
#include "treefile/TreeFileFormat.h"

#include "foundation/Conversions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace bw {

using namespace treefile;

namespace {

std::string ErrnoText(int err) {
  return std::generic_category().message(err);
}

// Collects the document and, when it goes to a file, hands it on in large
// blocks so that a big tree is never held twice.
class TXmlOut {
public:
  TXmlOut() = default;
  TXmlOut(int fd, std::string path) : FFd(fd), FPath(std::move(path)) {}

  std::string& Buffer() { return FText; }

  void Line(int level) { FText.append(static_cast<size_t>(2 * level), ' '); }
  void EndLine() {
    FText += "\r\n";
    if (FFd >= 0 && FText.size() >= FlushSize) Flush();
  }
  void Open(int level, const char* name) {
    Line(level);
    FText += '<';
    FText += name;
    FText += '>';
    EndLine();
  }
  void Close(int level, const char* name) {
    Line(level);
    FText += "</";
    FText += name;
    FText += '>';
    EndLine();
  }
  // One value element on one line; "<X/>" when nothing of the text remains.
  void Value(int level, const char* name, std::string_view text) {
    Line(level);
    size_t start = FText.size();
    FText += '<';
    FText += name;
    FText += '>';
    size_t content = FText.size();
    AppendXmlText(FText, text, false);
    if (FText.size() == content) {
      FText.resize(start);
      FText += '<';
      FText += name;
      FText += "/>";
    } else {
      FText += "</";
      FText += name;
      FText += '>';
    }
    EndLine();
  }

  void Flush() {
    size_t done = 0;
    while (done < FText.size()) {
      ssize_t n = ::write(FFd, FText.data() + done, FText.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw TreeFileError("Cannot write '" + FPath + "': " + ErrnoText(errno));
      }
      done += static_cast<size_t>(n);
    }
    FText.clear();
  }

private:
  static constexpr size_t FlushSize = size_t(1) << 20;
  std::string FText;
  int FFd = -1;
  std::string FPath;
};

void WriteBranchStart(TXmlOut& out, const TDecTreeNode& node, int level) {
  std::string& s = out.Buffer();
  out.Line(level);
  s += "<Branch id=\"";
  AppendXmlText(s, Guid::ToString(node.Id), true);
  if (node.IsClone()) {
    s += "\" ref=\"";
    AppendXmlText(s, Guid::ToString(node.Ref), true);
  }
  s += "\">";
  out.EndLine();

  const int v = level + 1;
  auto name = [](TBranchElement k) { return BranchElementNames[k]; };
  out.Value(v, name(beCaption), node.Caption);
  out.Value(v, name(beComment), CommentToFile(node.Comment));
  out.Value(v, name(beType), NodeTypeToStr(node.NodeType));
  out.Value(v, name(beChanceType), ChanceTypeToStr(node.ChanceType));
  out.Value(v, name(beProbability), FloatToInvariantStr(node.Probability));
  out.Value(v, name(bePayoff), MoneyToStr(node.Payoff));
  out.Value(v, name(beChildrenVisible), FlagToStr(node.ChildrenVisible));
  out.Value(v, name(beDecisionFixed), FlagToStr(node.DecisionFixed));
  // The display flags as they take effect: a chance node shows no owner.
  out.Value(v, name(beDecisionShowCaption), FlagToStr(node.GetDecisionShowCaption()));
  out.Value(v, name(beDecisionShowOwner), FlagToStr(node.GetDecisionShowOwner()));
  out.Value(v, name(beDecisionShowDueDate), FlagToStr(node.GetDecisionShowDueDate()));
  out.Value(v, name(beDecisionMultiShowBudget), FlagToStr(node.GetDecisionMultiShowBudget()));
  out.Value(v, name(beDecisionMultiShowInvestment),
            FlagToStr(node.GetDecisionMultiShowInvestment()));
  out.Value(v, name(beDecisionShowFixed), FlagToStr(node.GetDecisionShowFixed()));
  out.Value(v, name(beDecisionCaption), node.DecisionCaption);
  out.Value(v, name(beDecisionOwner), node.DecisionOwner);
  out.Value(v, name(beDecisionDueDate), DateToYYYYMMDD(node.DecisionDueDate));
  out.Value(v, name(beDecisionMultiBudget), IntegerToStr(node.DecisionMultiBudget));
  out.Value(v, name(bePayoffSource), node.PayoffSource);
}

void WriteDocument(TXmlOut& out, const TDecTreeNode& root, const TTreeOptions& o,
                   const TFontSpec& font) {
  std::string& s = out.Buffer();
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  out.EndLine();
  out.Open(0, tag::Tree);
  auto name = [](TTreeElement k) { return TreeElementNames[k]; };
  out.Value(1, name(teOutlineCodes), FlagToStr(o.OutlineCodes));
  out.Value(1, name(teStatusDate), DateToYYYYMMDD(o.StatusDate));
  out.Value(1, name(teHighlightClones), FlagToStr(o.HighlightClones));
  out.Value(1, name(teShowPayoff), FlagToStr(o.ShowPayoff));
  out.Value(1, name(teCurrencyDecimals), IntegerToStr(o.CurrencyDecimals));
  out.Value(1, name(teCurrencyPosFormat), IntegerToStr(o.CurrencyPosFormat));
  out.Value(1, name(teCurrencyNegFormat), IntegerToStr(o.CurrencyNegFormat));
  out.Value(1, name(teCurrencySymbol), o.CurrencySymbol);
  out.Open(1, tag::Font);
  out.Value(2, FontElementNames[feFontName], font.Name);
  out.Value(2, FontElementNames[feFontSize], IntegerToStr(font.Size));
  out.Value(2, FontElementNames[feFontStyle], FontStylesToStr(font.Style));
  out.Close(1, tag::Font);

  // Depth first with an explicit stack: the tree may be deeper than the
  // call stack allows. A clone is written without its children (copies of
  // its master's), and a leaf without Branches.
  struct Frame {
    const TDecTreeNode* Node;
    int Next;
    int Level;
  };
  auto hasBranches = [](const TDecTreeNode& n) { return !n.IsClone() && n.ChildCount() > 0; };
  std::vector<Frame> stack;
  auto start = [&](const TDecTreeNode& n, int level) {
    WriteBranchStart(out, n, level);
    if (hasBranches(n)) {
      out.Open(level + 1, tag::Branches);
      stack.push_back({&n, 0, level});
    } else {
      out.Close(level, tag::Branch);
    }
  };
  start(root, 1);
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.Next < f.Node->ChildCount()) {
      const TDecTreeNode& child = *f.Node->Child(f.Next++);
      start(child, f.Level + 2); // f may dangle from here on
      continue;
    }
    out.Close(f.Level + 1, tag::Branches);
    out.Close(f.Level, tag::Branch);
    stack.pop_back();
  }
  out.Close(0, tag::Tree);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is followed, so that the link stays and its target gets
// the new content; so is a link whose target does not exist yet, which the
// save then creates.
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size()) return current;
    link.resize(static_cast<size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  throw TreeFileError("Cannot write '" + path + "': " + ErrnoText(ELOOP));
}

// Temporary files are named after the file they will replace, so that the
// remains of a save that was killed can be told apart and removed: a dot,
// the name (shortened so that the whole stays a valid name), this infix, 32
// hexadecimal digits and ".tmp".
constexpr const char* TempInfix = ".bwk-save-";
constexpr size_t TempNameRoom = 180;

std::string TempPrefix(const std::string& target) {
  std::string name = NameOf(target);
  if (name.size() > TempNameRoom) name.resize(TempNameRoom);
  return "." + name + TempInfix;
}

bool IsTempNameFor(std::string_view entry, std::string_view prefix) {
  if (entry.size() != prefix.size() + 32 + 4 || entry.substr(0, prefix.size()) != prefix ||
      entry.substr(entry.size() - 4) != ".tmp")
    return false;
  std::string_view digits = entry.substr(prefix.size(), 32);
  return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// Removes temporary files that an earlier save of the same file left behind
// when it was killed: ours by name and owner, regular files, and not locked,
// which a save that is still running keeps them. Nothing here may stop the
// save itself.
void RemoveStaleTempFiles(const std::string& folder, const std::string& target) {
  const std::string prefix = TempPrefix(target);
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTempNameFor(e->d_name, prefix)) continue;
    int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlinkat(dirFd, e->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// Gives the new file the owner, group and permissions of the file it
// replaces, before any byte is written. Where the process may not keep the
// group, the group's permissions are dropped rather than handed to another
// group.
void TakeOverOwnership(int fd, const struct stat& old, const std::string& target) {
  mode_t mode = old.st_mode & 07777;
  struct stat now {};
  if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    if (::fstat(fd, &now) == 0 && now.st_gid != old.st_gid) mode &= ~static_cast<mode_t>(07070);
  }
  if (::fchmod(fd, mode) != 0)
    throw TreeFileError("Cannot write '" + target + "': " + ErrnoText(errno));
}

} // namespace

std::string SerializeTree(const TDecTreeNode& root, const TTreeOptions& options,
                          const TFontSpec& font) {
  TXmlOut out;
  WriteDocument(out, root, options, font);
  return std::move(out.Buffer());
}

namespace {

void WriteFile(const std::string& path, const TDecTreeNode& root, const TTreeOptions& options,
               const TFontSpec& font) {
  const std::string target = ResolveTarget(path);
  struct stat old {};
  bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode))
    throw TreeFileError("Cannot replace '" + target + "': it is a folder");
  // A device or a pipe must never be swapped for a regular file.
  if (exists && !S_ISREG(old.st_mode))
    throw TreeFileError("Cannot replace '" + target + "': it is not a regular file");
  // A file its owner made read-only stays as it is, although the folder
  // would allow replacing it.
  if (exists && ::access(target.c_str(), W_OK) != 0)
    throw TreeFileError("Cannot write '" + target + "': " + ErrnoText(errno));

  const std::string folder = FolderOf(target);
  RemoveStaleTempFiles(folder, target);
  // O_EXCL with a fresh name, as mkstemp does. A new file is created with
  // mode 0666, so that it gets the permissions the user's umask gives any
  // new file; a replacement is never created more open than the file it
  // replaces.
  const mode_t createMode = exists ? (old.st_mode & 0666) : 0666;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = folder + "/" + TempPrefix(target) + Guid::ToString(Guid::NewGuid(), "N") + ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (fd < 0 && (errno != EEXIST || attempt >= 16))
      throw TreeFileError("Cannot create a file in the folder '" + folder +
                          "': " + ErrnoText(errno));
  }
  try {
    // Held until the file is closed: a save that is running is not stale.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    if (exists) TakeOverOwnership(fd, old, target);
    TXmlOut out(fd, target);
    WriteDocument(out, root, options, font);
    out.Flush();
    auto check = [&](int result) {
      if (result != 0) throw TreeFileError("Cannot write '" + target + "': " + ErrnoText(errno));
    };
    check(::fsync(fd));
    int closed = ::close(fd);
    fd = -1;
    check(closed);
    if (::rename(temp.c_str(), target.c_str()) != 0)
      throw TreeFileError("Cannot replace '" + target + "': " + ErrnoText(errno));
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  // The rename itself reaches the disk with the folder; a failure here
  // leaves a complete file in place, so it is not reported.
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

} // namespace

void WriteTreeFile(const std::string& path, const TDecTreeNode& root, const TTreeOptions& options,
                   const TFontSpec& font) {
  try {
    WriteFile(path, root, options, font);
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw TreeFileError("Not enough memory to write the file");
  } catch (const std::exception& e) {
    throw TreeFileError(e.what());
  }
}

} // namespace bw
