// libFuzzer target: any bytes through the tree-file reader, and every tree
// it reads through the writer and the reader again. Reading must end in a
// tree or a bw::Exception; what was read must write, read back and write
// again to the same bytes; and a tree within the clone bounds must survive
// a recalculation.
#include "model/CloneExpansion.h"
#include "treefile/TreeFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace bw;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& a, const std::string& b) {
  std::fprintf(stderr, "%s\n--- first ---\n%s\n--- second ---\n%s\n", what, a.c_str(), b.c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TTreeContext context;
  TTreeFileContents read;
  try {
    read = ReadTreeText(bytes, &context, TFontSpec{});
  } catch (const Exception&) {
    return 0; // refused with a reason: fine
  }
  std::string written = SerializeTree(*read.Root, read.Options, read.Font);
  TTreeFileContents again;
  try {
    again = ReadTreeText(written, &context, TFontSpec{});
  } catch (const Exception& e) {
    Fail("what was written cannot be read", written, e.Message());
  }
  std::string rewritten = SerializeTree(*again.Root, again.Options, again.Font);
  if (rewritten != written) Fail("a second save differs", written, rewritten);

  // A few thousand nodes at most, so that each run stays quick.
  if (MeasureCloneExpansion(*again.Root).Nodes <= 5000) {
    again.Root->OnPath = true;
    again.Root->SyncClones();
    again.Root->EvaluateAndPropagate(1.0, CurrencyToDouble(again.Root->Payoff));
  }
  return 0;
}
