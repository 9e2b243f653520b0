// The upgrade's string list: the file list of an upgrade and the queue file
// the helper program reads. Lines may be "name=value" pairs; the list keeps
// at most MaxCount lines, dropping the oldest.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bw {

class TauStringList {
public:
  enum TDuplicates { dupIgnore, dupAccept, dupError };

  // Most lines kept; adding beyond it drops the first line; 0 adds nothing.
  int MaxCount = 2147483647;
  std::string Separator = "=";
  // Split at the last separator instead of the first.
  bool LastSeparator = false;
  // How Add treats a line already in a sorted list. An unsorted list
  // appends every line.
  TDuplicates Duplicates = dupIgnore;
  std::function<void(TauStringList* Sender)> OnChanging;
  std::function<void(TauStringList* Sender)> OnChange;

  // The index of the new line (or of the equal line a sorted list already
  // holds with dupIgnore); ListError with dupError. 0 and nothing added when
  // MaxCount is 0.
  int Add(const std::string& s);
  void Insert(int index, const std::string& s);
  void Delete(int index);
  void Clear();
  int Count() const { return static_cast<int>(FLines.size()); }
  const std::string& operator[](int index) const { return FLines.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Lines() const { return FLines; }
  // Every line followed by CR LF.
  std::string Text() const;

  // A sorted list keeps its lines in order, compared without regard to case.
  bool Sorted() const { return FSorted; }
  void SetSorted(bool sorted);
  // Binary search of a sorted list: true with the line's index when found,
  // else false with the index where it belongs.
  bool Find(const std::string& s, int& index) const;

  // Deletes line 0 without telling OnChanging and OnChange.
  void DeleteFirst();
  // 1-based position of the separator in the line; 0 when absent.
  int SeparatorPos(int index) const;
  // The text before the separator (the whole line without one), and behind
  // it (empty without one).
  std::string GetItemName(int index) const;
  std::string GetItemValue(int index) const;
  // A line with a separator becomes name, separator, value; one without is
  // left alone.
  void SetItemValue(int index, const std::string& value);
  // Writes the value of every line that has one, each followed by CR LF. The
  // file is created anew at the first value; with no value at all no file is
  // written and an existing one stays as it is.
  void SaveValuesToFile(const std::string& fileName) const;

private:
  void Changing();
  void Changed();

  std::vector<std::string> FLines;
  bool FSorted = false;
};

} // namespace bw
