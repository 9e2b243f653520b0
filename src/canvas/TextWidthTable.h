// Widths of texts in one font, found by the text's bytes. The tree's texts
// recur (captions, money, "TRUE" and "FALSE", the labels), so each is
// measured once; a lookup must cost little next to measuring, and a table of
// a few hundred thousand texts must not turn every lookup into several trips
// to memory. Open addressing over one array: a text of up to 16 bytes is
// held in its slot, a longer one beside the table.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class TTextWidthTable {
public:
  // True, with the width noted for the text, when it is in the table.
  bool Find(std::string_view text, int& width) const {
    if (FSlots.empty()) return false;
    const uint64_t hash = Hash(text);
    for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
      const TSlot& slot = FSlots[i];
      if (slot.Hash == 0) return false;
      if (slot.Hash == hash && Key(slot) == text) {
        width = slot.Width;
        return true;
      }
    }
  }

  // Notes the width of a text that is not in the table yet.
  void Insert(std::string_view text, int width) {
    if ((FSize + 1) * 2 > FSlots.size()) Grow();
    TSlot slot{Hash(text), static_cast<uint32_t>(text.size()), width, {}};
    if (text.size() <= sizeof slot.Inline) {
      std::memcpy(slot.Inline, text.data(), text.size());
    } else {
      const uint64_t offset = FLongKeys.size();
      std::memcpy(slot.Inline, &offset, sizeof offset);
      FLongKeys.append(text);
    }
    Place(slot);
    ++FSize;
  }

  size_t Size() const { return FSize; }

  void Clear() {
    std::vector<TSlot>().swap(FSlots);
    std::string().swap(FLongKeys);
    FSize = 0;
  }

private:
  struct TSlot {
    uint64_t Hash; // 0: empty
    uint32_t Length;
    int32_t Width;
    char Inline[16]; // the text, or the offset of a longer one
  };

  static uint64_t Hash(std::string_view text) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (text.size() * 0xC2B2AE3D27D4EB4Full);
    const char* p = text.data();
    size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      h = std::rotl((h ^ w) * 0xBF58476D1CE4E5B9ull, 31);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p, n);
    h = (h ^ tail) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return h | 1; // never 0, which marks an empty slot
  }

  size_t Mask() const { return FSlots.size() - 1; }

  std::string_view Key(const TSlot& slot) const {
    if (slot.Length <= sizeof slot.Inline) return {slot.Inline, slot.Length};
    uint64_t offset;
    std::memcpy(&offset, slot.Inline, sizeof offset);
    return std::string_view(FLongKeys).substr(offset, slot.Length);
  }

  void Place(const TSlot& slot) {
    size_t i = slot.Hash & Mask();
    while (FSlots[i].Hash != 0)
      i = (i + 1) & Mask();
    FSlots[i] = slot;
  }

  void Grow() {
    std::vector<TSlot> old(FSlots.empty() ? 64 : FSlots.size() * 2);
    old.swap(FSlots);
    for (const TSlot& slot : old)
      if (slot.Hash != 0) Place(slot);
  }

  std::vector<TSlot> FSlots; // a power of two long, at most half full
  std::string FLongKeys;
  size_t FSize = 0;
};

} // namespace bw
