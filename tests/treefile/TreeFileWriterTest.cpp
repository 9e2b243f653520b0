// The writer's bytes, the round trip through the reader, and a save that
// never destroys the previous file.
#include "TreeFileTestSupport.h"

#include "foundation/ContentHash.h"
#include "foundation/Conversions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bw::test {
namespace {

Guid G(char digit) {
  std::string s = "00000000-0000-4000-8000-000000000000";
  for (char& c : s)
    if (c == '0') c = digit;
  return Guid::Parse(s);
}

TDateTime Date(int y, int m, int d) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, t));
  return t;
}

TDecTreeNode* AddNode(TDecTreeNode* parent, TNodeFields fields) {
  return parent->AddChild(std::make_unique<TDecTreeNode>(parent->Tree, parent, std::move(fields)));
}

// Every node type, a clone (synchronised, so it holds copies in memory),
// each payoff-source form, a due date, a two-line comment, non-ASCII text,
// characters to escape and a currency symbol.
struct SmallTree {
  TTreeContext Context;
  std::unique_ptr<TDecTreeNode> Root;
  TFontSpec Font{"DejaVu Sans", 10, fsBold | fsItalic};

  SmallTree() {
    TTreeOptions& o = Context.Options;
    o.OutlineCodes = true;
    o.StatusDate = Date(2009, 11, 23);
    o.HighlightClones = false;
    o.ShowPayoff = true;
    o.CurrencyDecimals = 2;
    o.CurrencyPosFormat = 3;
    o.CurrencyNegFormat = 8;
    o.CurrencySymbol = "€";
    Root = std::make_unique<TDecTreeNode>(
        &Context, nullptr,
        TNodeFields{.Id = G('1'),
                    .Caption = "Zürich & <Basel>",
                    .Comment = "First line\r\nSecond \"line\"",
                    .NodeType = ntDecision,
                    .Probability = 100,
                    .DecisionShowCaption = true,
                    .DecisionShowOwner = true,
                    .DecisionShowDueDate = true,
                    .DecisionShowFixed = true,
                    .DecisionMultiShowBudget = true, // no effect on a decision
                    .DecisionFixed = true,
                    .DecisionCaption = "Go?",
                    .DecisionOwner = "Jürgen",
                    .DecisionDueDate = Date(2009, 3, 5)});
    TDecTreeNode* market = AddNode(Root.get(), {.Id = G('2'),
                                                .Caption = "Market",
                                                .NodeType = ntChance,
                                                .Probability = 100,
                                                .Payoff = DoubleToCurrency(-0.5),
                                                .ChildrenVisible = false,
                                                .DecisionShowCaption = true,
                                                .DecisionShowOwner = true, // none on chance
                                                .PayoffSource = "Income-Cost: 1.5:2"});
    AddNode(market, {.Id = G('3'),
                     .Caption = "Up",
                     .Probability = 100.0 / 3,
                     .Payoff = DoubleToCurrency(1234.5678),
                     .PayoffSource = "Import: Excel(\"prices.xlsx\";\"Sheet1\";\"B2\")"});
    AddNode(market, {.Id = G('4'),
                     .Caption = "Down",
                     .Probability = 200.0 / 3,
                     .Payoff = DoubleToCurrency(-1500),
                     .PayoffSource = "Advanced: x"});
    AddNode(Root.get(), {.Id = G('5'),
                         .Caption = "Options",
                         .NodeType = ntMultiDecision,
                         .ChanceType = ctAnySum,
                         .DecisionShowOwner = true,
                         .DecisionMultiShowBudget = true,
                         .DecisionMultiShowInvestment = true,
                         .DecisionOwner = "Team",
                         .DecisionMultiBudget = 5000});
    TDecTreeNode* clone = AddNode(Root.get(), {.Id = G('6'), .Caption = "Market again"});
    EXPECT_EQ(clone->SetCloneMaster(market->Id), "");
    Root->SyncClones();
    EXPECT_EQ(clone->ChildCount(), 2); // copies, which the file leaves out
  }
};

std::string ExpectedSmallTree() {
  return CrLfLines({
      R"(<?xml version="1.0" encoding="UTF-8"?>)",
      "<Tree>",
      "  <OutlineCodes>1</OutlineCodes>",
      "  <StatusDate>20091123</StatusDate>",
      "  <HighlightClones>0</HighlightClones>",
      "  <ShowPayoff>1</ShowPayoff>",
      "  <CurrencyDecimals>2</CurrencyDecimals>",
      "  <CurrencyPosFormat>3</CurrencyPosFormat>",
      "  <CurrencyNegFormat>8</CurrencyNegFormat>",
      "  <CurrencySymbol>€</CurrencySymbol>",
      "  <Font>",
      "    <FontName>DejaVu Sans</FontName>",
      "    <FontSize>10</FontSize>",
      "    <FontStyle>Bold, Italic</FontStyle>",
      "  </Font>",
      R"(  <Branch id="11111111-1111-4111-8111-111111111111">)",
      "    <Caption>Zürich &amp; &lt;Basel&gt;</Caption>",
      "    <Comment>First line\nSecond \"line\"</Comment>",
      "    <Type>Decision</Type>",
      "    <ChanceType>Percent</ChanceType>",
      "    <Probability>100</Probability>",
      "    <Payoff>0</Payoff>",
      "    <ChildrenVisible>1</ChildrenVisible>",
      "    <DecisionFixed>1</DecisionFixed>",
      "    <DecisionShowCaption>1</DecisionShowCaption>",
      "    <DecisionShowOwner>1</DecisionShowOwner>",
      "    <DecisionShowDueDate>1</DecisionShowDueDate>",
      "    <DecisionMultiShowBudget>0</DecisionMultiShowBudget>",
      "    <DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>",
      "    <DecisionShowFixed>1</DecisionShowFixed>",
      "    <DecisionCaption>Go?</DecisionCaption>",
      "    <DecisionOwner>Jürgen</DecisionOwner>",
      "    <DecisionDueDate>2009 3 5</DecisionDueDate>",
      "    <DecisionMultiBudget>-1</DecisionMultiBudget>",
      "    <PayoffSource/>",
      "    <Branches>",
      R"(      <Branch id="22222222-2222-4222-8222-222222222222">)",
      "        <Caption>Market</Caption>",
      "        <Comment/>",
      "        <Type>Chance</Type>",
      "        <ChanceType>Percent</ChanceType>",
      "        <Probability>100</Probability>",
      "        <Payoff>-0.5</Payoff>",
      "        <ChildrenVisible>0</ChildrenVisible>",
      "        <DecisionFixed>0</DecisionFixed>",
      "        <DecisionShowCaption>1</DecisionShowCaption>",
      "        <DecisionShowOwner>0</DecisionShowOwner>",
      "        <DecisionShowDueDate>0</DecisionShowDueDate>",
      "        <DecisionMultiShowBudget>0</DecisionMultiShowBudget>",
      "        <DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>",
      "        <DecisionShowFixed>0</DecisionShowFixed>",
      "        <DecisionCaption/>",
      "        <DecisionOwner/>",
      "        <DecisionDueDate/>",
      "        <DecisionMultiBudget>-1</DecisionMultiBudget>",
      "        <PayoffSource>Income-Cost: 1.5:2</PayoffSource>",
      "        <Branches>",
      R"(          <Branch id="33333333-3333-4333-8333-333333333333">)",
      "            <Caption>Up</Caption>",
      "            <Comment/>",
      "            <Type>Decision</Type>",
      "            <ChanceType>Percent</ChanceType>",
      "            <Probability>33.3333333333333</Probability>",
      "            <Payoff>1234.5678</Payoff>",
      "            <ChildrenVisible>1</ChildrenVisible>",
      "            <DecisionFixed>0</DecisionFixed>",
      "            <DecisionShowCaption>0</DecisionShowCaption>",
      "            <DecisionShowOwner>0</DecisionShowOwner>",
      "            <DecisionShowDueDate>0</DecisionShowDueDate>",
      "            <DecisionMultiShowBudget>0</DecisionMultiShowBudget>",
      "            <DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>",
      "            <DecisionShowFixed>0</DecisionShowFixed>",
      "            <DecisionCaption/>",
      "            <DecisionOwner/>",
      "            <DecisionDueDate/>",
      "            <DecisionMultiBudget>-1</DecisionMultiBudget>",
      R"(            <PayoffSource>Import: Excel("prices.xlsx";"Sheet1";"B2")</PayoffSource>)",
      "          </Branch>",
      R"(          <Branch id="44444444-4444-4444-8444-444444444444">)",
      "            <Caption>Down</Caption>",
      "            <Comment/>",
      "            <Type>Decision</Type>",
      "            <ChanceType>Percent</ChanceType>",
      "            <Probability>66.6666666666667</Probability>",
      "            <Payoff>-1500</Payoff>",
      "            <ChildrenVisible>1</ChildrenVisible>",
      "            <DecisionFixed>0</DecisionFixed>",
      "            <DecisionShowCaption>0</DecisionShowCaption>",
      "            <DecisionShowOwner>0</DecisionShowOwner>",
      "            <DecisionShowDueDate>0</DecisionShowDueDate>",
      "            <DecisionMultiShowBudget>0</DecisionMultiShowBudget>",
      "            <DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>",
      "            <DecisionShowFixed>0</DecisionShowFixed>",
      "            <DecisionCaption/>",
      "            <DecisionOwner/>",
      "            <DecisionDueDate/>",
      "            <DecisionMultiBudget>-1</DecisionMultiBudget>",
      "            <PayoffSource>Advanced: x</PayoffSource>",
      "          </Branch>",
      "        </Branches>",
      "      </Branch>",
      R"(      <Branch id="55555555-5555-4555-8555-555555555555">)",
      "        <Caption>Options</Caption>",
      "        <Comment/>",
      "        <Type>MultiDecision</Type>",
      "        <ChanceType>AnySum</ChanceType>",
      "        <Probability>0</Probability>",
      "        <Payoff>0</Payoff>",
      "        <ChildrenVisible>1</ChildrenVisible>",
      "        <DecisionFixed>0</DecisionFixed>",
      "        <DecisionShowCaption>0</DecisionShowCaption>",
      "        <DecisionShowOwner>1</DecisionShowOwner>",
      "        <DecisionShowDueDate>0</DecisionShowDueDate>",
      "        <DecisionMultiShowBudget>1</DecisionMultiShowBudget>",
      "        <DecisionMultiShowInvestment>1</DecisionMultiShowInvestment>",
      "        <DecisionShowFixed>0</DecisionShowFixed>",
      "        <DecisionCaption/>",
      "        <DecisionOwner>Team</DecisionOwner>",
      "        <DecisionDueDate/>",
      "        <DecisionMultiBudget>5000</DecisionMultiBudget>",
      "        <PayoffSource/>",
      "      </Branch>",
      R"(      <Branch id="66666666-6666-4666-8666-666666666666" ref="22222222-2222-4222-8222-222222222222">)",
      "        <Caption>Market again</Caption>",
      "        <Comment/>",
      "        <Type>Chance</Type>",
      "        <ChanceType>Percent</ChanceType>",
      "        <Probability>0</Probability>",
      "        <Payoff>0</Payoff>",
      "        <ChildrenVisible>1</ChildrenVisible>",
      "        <DecisionFixed>0</DecisionFixed>",
      "        <DecisionShowCaption>0</DecisionShowCaption>",
      "        <DecisionShowOwner>0</DecisionShowOwner>",
      "        <DecisionShowDueDate>0</DecisionShowDueDate>",
      "        <DecisionMultiShowBudget>0</DecisionMultiShowBudget>",
      "        <DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>",
      "        <DecisionShowFixed>0</DecisionShowFixed>",
      "        <DecisionCaption/>",
      "        <DecisionOwner/>",
      "        <DecisionDueDate/>",
      "        <DecisionMultiBudget>-1</DecisionMultiBudget>",
      "        <PayoffSource/>",
      "      </Branch>",
      "    </Branches>",
      "  </Branch>",
      "</Tree>",
  });
}

TEST(TreeFileWriter, WritesTheFormatByteForByte) {
  SmallTree t;
  TempFolder dir;
  std::string path = dir.File("small.bwk");
  WriteTreeFile(path, *t.Root, t.Context.Options, t.Font);
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes, ExpectedSmallTree());
  EXPECT_EQ(bytes, SerializeTree(*t.Root, t.Context.Options, t.Font));
}

// Every stored field; the display flags as the writer stores them.
void ExpectSameNode(const TDecTreeNode& a, const TDecTreeNode& b) {
  SCOPED_TRACE(a.Caption);
  EXPECT_EQ(a.Id, b.Id);
  EXPECT_EQ(a.Ref, b.Ref);
  EXPECT_EQ(a.Caption, b.Caption);
  EXPECT_EQ(a.Comment, b.Comment);
  EXPECT_EQ(a.NodeType, b.NodeType);
  EXPECT_EQ(a.ChanceType, b.ChanceType);
  // Fifteen significant digits, as written.
  EXPECT_EQ(InvariantStrToFloat(FloatToInvariantStr(a.Probability)), b.Probability);
  EXPECT_EQ(a.Payoff, b.Payoff);
  EXPECT_EQ(a.ChildrenVisible, b.ChildrenVisible);
  EXPECT_EQ(a.DecisionFixed, b.DecisionFixed);
  EXPECT_EQ(a.GetDecisionShowCaption(), b.DecisionShowCaption);
  EXPECT_EQ(a.GetDecisionShowOwner(), b.DecisionShowOwner);
  EXPECT_EQ(a.GetDecisionShowDueDate(), b.DecisionShowDueDate);
  EXPECT_EQ(a.GetDecisionShowFixed(), b.DecisionShowFixed);
  EXPECT_EQ(a.GetDecisionMultiShowBudget(), b.DecisionMultiShowBudget);
  EXPECT_EQ(a.GetDecisionMultiShowInvestment(), b.DecisionMultiShowInvestment);
  EXPECT_EQ(a.DecisionCaption, b.DecisionCaption);
  EXPECT_EQ(a.DecisionOwner, b.DecisionOwner);
  EXPECT_EQ(a.DecisionDueDate, b.DecisionDueDate);
  EXPECT_EQ(a.DecisionMultiBudget, b.DecisionMultiBudget);
  EXPECT_EQ(a.PayoffSource, b.PayoffSource);
  int children = a.IsClone() ? 0 : a.ChildCount();
  ASSERT_EQ(children, b.ChildCount());
  for (int i = 0; i < children; ++i) {
    EXPECT_EQ(b.Child(i)->Parent, &b);
    ExpectSameNode(*a.Child(i), *b.Child(i));
  }
}

TEST(TreeFileWriter, ReopensToTheSameTreeAndSavesTheSameBytes) {
  SmallTree t;
  TempFolder dir;
  std::string first = dir.File("first.bwk"), second = dir.File("second.bwk");
  WriteTreeFile(first, *t.Root, t.Context.Options, t.Font);

  TTreeContext context;
  TTreeFileContents read = ReadTreeFile(first, &context, TFontSpec{"Arial", 12, 0});
  ExpectSameNode(*t.Root, *read.Root);
  EXPECT_EQ(read.Root->Tree, &context);
  EXPECT_EQ(read.Root->Child(0)->Child(1)->Tree, &context);
  EXPECT_EQ(read.Options, t.Context.Options);
  EXPECT_EQ(read.Font, t.Font);
  // The clone's copies come back with the recalculation.
  read.Root->SyncClones();
  EXPECT_EQ(read.Root->Child(2)->ChildCount(), 2);

  WriteTreeFile(second, *read.Root, read.Options, read.Font);
  EXPECT_EQ(ReadBytes(second), ReadBytes(first));
}

TEST(TreeFileWriter, DropsWhatXmlCannotHoldSoTheFileReadsAgain) {
  TTreeContext context;
  auto root = std::make_unique<TDecTreeNode>(
      &context, nullptr,
      TNodeFields{.Id = G('1'),
                  .Caption = std::string("a\x01z\tb\x1F", 6) + "\x7F" + "c\xEF\xBF\xBE",
                  .DecisionCaption = "\x02\x03",  // nothing left: an empty element
                  .DecisionOwner = "Fran\xE7ois", // Latin-1 byte, not UTF-8
                  .PayoffSource = std::string("x\0y", 3)});
  std::string bytes = SerializeTree(*root, context.Options, TFontSpec{});
  EXPECT_NE(bytes.find("<Caption>az\tb\x7F"
                       "c</Caption>"),
            std::string::npos);
  EXPECT_NE(bytes.find("<DecisionCaption/>"), std::string::npos);
  EXPECT_NE(bytes.find("<DecisionOwner>Fran\xEF\xBF\xBDois</DecisionOwner>"), std::string::npos);
  EXPECT_NE(bytes.find("<PayoffSource>xy</PayoffSource>"), std::string::npos);

  TempFolder dir;
  std::string path = dir.File("controls.bwk");
  WriteBytes(path, bytes);
  TTreeFileContents read = ReadTreeFile(path, &context, TFontSpec{});
  EXPECT_EQ(read.Root->Caption, "az\tb\x7F"
                                "c");
  EXPECT_EQ(read.Root->DecisionOwner, "Fran\xEF\xBF\xBDois");
}

// The writer walks the tree without recursion and the reader accepts the
// deepest tree it allows.
TEST(TreeFileWriter, WritesAndReadsTheDeepestAllowedTree) {
  TTreeContext context;
  auto root = std::make_unique<TDecTreeNode>(&context, nullptr,
                                             TNodeFields{.Id = Guid::NewGuid(), .Caption = "0"});
  TDecTreeNode* n = root.get();
  for (int level = 2; level <= MaxTreeFileDepth; ++level)
    n = AddNode(n, {.Id = Guid::NewGuid(), .Caption = std::to_string(level), .Probability = 100});
  TempFolder dir;
  std::string path = dir.File("deep.bwk");
  WriteTreeFile(path, *root, context.Options, TFontSpec{});
  TTreeFileContents read = ReadTreeFile(path, &context, TFontSpec{});
  const TDecTreeNode* deepest = read.Root.get();
  while (deepest->ChildCount() > 0)
    deepest = deepest->Child(0);
  EXPECT_EQ(deepest->GetLevel(), MaxTreeFileDepth);
  EXPECT_EQ(deepest->Caption, std::to_string(MaxTreeFileDepth));

  // One more level is refused with a reason.
  AddNode(n, {.Id = Guid::NewGuid(), .Caption = "too deep"});
  WriteTreeFile(path, *root, context.Options, TFontSpec{});
  EXPECT_EQ(ReadError(path, context), "The tree has more than 1000 levels, which is not supported");
}

class TreeFileSave : public ::testing::Test {
protected:
  SmallTree Tree;
  TempFolder Dir;
  std::string Path = Dir.File("tree.bwk");

  void Save(const std::string& path) {
    WriteTreeFile(path, *Tree.Root, Tree.Context.Options, Tree.Font);
  }
  std::string SaveError(const std::string& path) {
    try {
      Save(path);
    } catch (const Exception& e) {
      return e.Message();
    }
    return {};
  }
  // Only the files the test made: no temporary file left behind.
  std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(TreeFileSave, FailedWriteKeepsThePreviousFile) {
  WriteBytes(Path, "the previous tree");
  // A file-size limit makes the write fail midway, as a full disk would.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old;
  limit.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  std::string error = SaveError(Path);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(error, "Cannot write '" + Path + "': File too large");
  EXPECT_EQ(ReadBytes(Path), "the previous tree");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"tree.bwk"});
}

TEST_F(TreeFileSave, ReplacesTheFileAndKeepsItsPermissions) {
  WriteBytes(Path, "old");
  ASSERT_EQ(chmod(Path.c_str(), 0640), 0);
  Save(Path);
  EXPECT_EQ(ReadBytes(Path), ExpectedSmallTree());
  struct stat st {};
  ASSERT_EQ(stat(Path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"tree.bwk"});
}

TEST_F(TreeFileSave, NewFileGetsTheUsualPermissions) {
  mode_t oldMask = umask(022);
  Save(Path);
  umask(oldMask);
  struct stat st {};
  ASSERT_EQ(stat(Path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(TreeFileSave, WritesThroughASymbolicLink) {
  std::string real = Dir.File("real.bwk"), link = Dir.File("link.bwk");
  WriteBytes(real, "old");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  Save(link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), ExpectedSmallTree());
}

TEST_F(TreeFileSave, ReportsWhyItCannotSave) {
  std::string missing = Dir.File("no-such-folder/tree.bwk");
  EXPECT_EQ(SaveError(missing), "Cannot create a file in the folder '" +
                                    Dir.File("no-such-folder") + "': No such file or directory");
  std::string folder = Dir.File("folder.bwk");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(SaveError(folder), "Cannot replace '" + folder + "': it is a folder");
  std::string fifo = Dir.File("pipe.bwk");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(SaveError(fifo), "Cannot replace '" + fifo + "': it is not a regular file");
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"folder.bwk", "pipe.bwk"}));
}

TEST_F(TreeFileSave, RespectsAReadOnlyFile) {
  WriteBytes(Path, "kept");
  EXPECT_EQ(AsOrdinaryUser(Dir.Path(),
                           [&] {
                             chmod(Path.c_str(), 0444);
                             return SaveError(Path);
                           }),
            "Cannot write '" + Path + "': Permission denied");
  EXPECT_EQ(ReadBytes(Path), "kept");
}

// What a save killed midway leaves behind: the partial copy has the
// target's permissions, and the next save of the same file removes it.
TEST_F(TreeFileSave, AKilledSaveLeaksNothingAndIsCleanedUp) {
  WriteBytes(Path, "old");
  ASSERT_EQ(chmod(Path.c_str(), 0600), 0);
  // The file-size limit kills the child at its first write past 100 bytes.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    struct rlimit limit {
      100, 100
    };
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
    try {
      Save(Path);
    } catch (...) {
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  std::vector<std::string> left = FolderEntries();
  ASSERT_EQ(left.size(), 2u);
  const std::string& temp = left[0];
  EXPECT_EQ(temp.rfind(".tree.bwk.bwk-save-", 0), 0u) << temp;
  struct stat st {};
  ASSERT_EQ(stat(Dir.File(temp).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_size, 100);
  EXPECT_EQ(ReadBytes(Path), "old");

  // Only our own stale files go, those of other files in the folder too:
  // not one a running save holds (locked), not one of another name.
  const std::string hex(32, 'a');
  std::string running = Dir.File(".tree.bwk.bwk-save-" + hex + ".tmp");
  std::string otherFile = Dir.File(".other.bwk.bwk-save-" + hex + ".tmp");
  std::string otherName = Dir.File(".tree.bwk.bwk-save-" + std::string(32, 'A') + ".tmp");
  for (const std::string& f : {running, otherFile, otherName})
    WriteBytes(f, "x");
  int held = open(running.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  Save(Path);
  close(held);
  EXPECT_EQ(ReadBytes(Path), ExpectedSmallTree());
  EXPECT_EQ(FolderEntries(),
            (std::vector<std::string>{".tree.bwk.bwk-save-" + std::string(32, 'A') + ".tmp",
                                      ".tree.bwk.bwk-save-" + hex + ".tmp", "tree.bwk"}));
}

TEST_F(TreeFileSave, ADanglingLinkIsSavedThroughToItsTarget) {
  std::filesystem::create_directory(Dir.File("sub"));
  std::string link = Dir.File("link.bwk");
  ASSERT_EQ(symlink("sub/new.bwk", link.c_str()), 0);
  Save(link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(Dir.File("sub/new.bwk")), ExpectedSmallTree());
}

TEST_F(TreeFileSave, KeepsOwnerAndGroupWhereItMay) {
  if (geteuid() != 0) GTEST_SKIP() << "changing owners needs root";
  WriteBytes(Path, "old");
  ASSERT_EQ(chown(Path.c_str(), 4321, 4322), 0);
  ASSERT_EQ(chmod(Path.c_str(), 0640), 0);
  Save(Path);
  struct stat st {};
  ASSERT_EQ(stat(Path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 4322u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // An ordinary user who is not in the file's group cannot keep it: the
  // group's permissions go rather than pass to the user's own group.
  constexpr uid_t Nobody = 65534;
  ASSERT_EQ(chown(Dir.Path().c_str(), Nobody, Nobody), 0);
  ASSERT_EQ(chown(Path.c_str(), Nobody, 4322), 0);
  ASSERT_EQ(chmod(Path.c_str(), 0660), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool saved = false;
    if (setgroups(0, nullptr) == 0 && setgid(Nobody) == 0 && setuid(Nobody) == 0) {
      try {
        Save(Path);
        saved = true;
      } catch (...) {
      }
    }
    _exit(saved ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(stat(Path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, Nobody);
  EXPECT_EQ(st.st_gid, Nobody);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// A file just written cannot be told from a write in the same instant by
// its times: the save and the open record its state with the hash of all
// its bytes, and agree, also where the document parser reads it (another
// encoding), so that a save after an open asks nothing.
TEST_F(TreeFileSave, OpenAndSaveRecordTheSameStateWithTheBytesHash) {
  const TFileIdentity written = WriteTreeFile(Path, *Tree.Root, Tree.Context.Options, Tree.Font);
  TTreeContext context;
  const TFileIdentity read = ReadTreeFile(Path, &context, TFontSpec{}).Identity;
  EXPECT_TRUE(written.Hashed);
  EXPECT_EQ(read, written);
  EXPECT_FALSE(FileChangedSince(Path, read));

  std::string latin1 = ReadBytes(Path);
  latin1.replace(0, latin1.find("?>"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"");
  WriteBytes(Path, latin1);
  const TFileIdentity other = ReadTreeFile(Path, &context, TFontSpec{}).Identity;
  EXPECT_TRUE(other.Hashed);
  EXPECT_EQ(other.Hash, [&] {
    TContentHash hash;
    hash.Add(latin1.data(), latin1.size());
    return hash.Value();
  }());
}

TEST(TreeFileMessages, BreakLinesWhereTheWindowShowsThem) {
  EXPECT_EQ(FileNotFoundMessage("/a/b.bwk"), "File '/a/b.bwk' does not exist.");
  EXPECT_EQ(OpenErrorMessage("/a/b.bwk", "why"), "Error opening file: /a/b.bwk\n\nwhy");
  EXPECT_EQ(SaveErrorMessage("why"), "Error saving file: \n\nwhy");
}

} // namespace
} // namespace bw::test
