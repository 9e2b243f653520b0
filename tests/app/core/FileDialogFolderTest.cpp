#include "app/core/FileDialogFolder.h"
#include "app/core/Settings.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/Workbooks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace bw;
using bw::test::TTempFolder;

namespace fs = std::filesystem;

TEST(FileDialogFolder, TheTreesFolderThenTheDialogsLastThenHome) {
  MemoryRegistryStore store;
  TTempFolder dir;
  const fs::path trees = dir.Path() / "trees", last = dir.Path() / "last";
  fs::create_directories(trees);
  fs::create_directories(last);
  const std::string home = std::getenv("HOME");
  const TFileDialogFolder untitled(store, TFileDialogFolder::Open, "");
  const TFileDialogFolder titled(store, TFileDialogFolder::Open, (trees / "shop.bwk").string());

  EXPECT_EQ(untitled.Start(), home);
  untitled.Remember((last / "a.bwk").string());
  EXPECT_EQ(untitled.Start(), last.string());
  EXPECT_EQ(titled.Start(), trees.string());
  // Each dialog keeps its own, in the settings.
  EXPECT_EQ(TFileDialogFolder(store, TFileDialogFolder::SaveAs, "").Start(), home);
  EXPECT_EQ(store.OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, false)
                ->ReadString("LastOpenFolder"),
            last.string());
  // Folders that are gone are passed over.
  fs::remove(trees);
  EXPECT_EQ(titled.Start(), last.string());
  fs::remove(last);
  EXPECT_EQ(titled.Start(), home);
  EXPECT_EQ(TFileDialogFolder().Start(), home);
}

// The tree's own name with the extension, in the dialog's start folder.
TEST(FileDialogFolder, ProposesTheTreesNameInTheStartFolder) {
  MemoryRegistryStore store;
  TTempFolder dir;
  const std::string home = std::getenv("HOME");
  const TFileDialogFolder titled(store, TFileDialogFolder::PrintPdf, dir.File("shop.v2.bwk"));
  EXPECT_EQ(titled.ProposedFile("Ignored", ".pdf"), dir.File("shop.v2.pdf"));
  const TFileDialogFolder untitled(store, TFileDialogFolder::PrintPdf, "");
  EXPECT_EQ(untitled.ProposedFile("Buy a/b test", ".pdf"), home + "/Buy a-b test.pdf");
  EXPECT_EQ(untitled.ProposedFile("", ".pdf"), home + "/Untitled.pdf");
  untitled.Remember(dir.File("out.pdf"));
  EXPECT_EQ(untitled.ProposedFile("Shop", ".pdf"), dir.File("Shop.pdf"));
}
