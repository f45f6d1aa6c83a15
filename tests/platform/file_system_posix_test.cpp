#include "platform/posix/file_system_posix.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace brisko {
namespace {

namespace fs = std::filesystem;

class FileSystemPosixTest : public ::testing::Test {
protected:
    FileSystemPosixTest() {
        std::string pattern = (fs::temp_directory_path() / "brisko-files-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
    }
    ~FileSystemPosixTest() override { fs::remove_all(dir); }

    void Write(const fs::path& file, const std::string& bytes) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Lines(const std::string& bytes) {
        Write(dir / "in.txt", bytes);
        Status error;
        auto reader = files.OpenForReading((dir / "in.txt").string(), &error);
        EXPECT_TRUE(error.ok());
        std::vector<std::string> lines;
        std::string line;
        while (reader && !reader->AtEndOfStream()) {
            EXPECT_TRUE(reader->ReadLine(&line).ok());
            lines.push_back(line);
        }
        if (reader) {
            EXPECT_FALSE(reader->ReadLine(&line).ok());  // past the end
        }
        return lines;
    }

    fs::path dir;
    FileSystemPosix files;
};

TEST_F(FileSystemPosixTest, LinesEndAtCrOrCrLf) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("\r\n"), V{""});
    EXPECT_EQ(Lines("a\r\nb"), (V{"a", "b"}));
    EXPECT_EQ(Lines("a\rb\r"), (V{"a", "b"}));
    EXPECT_EQ(Lines("a\r\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(Lines("a\nb\n"), V{"a\nb\n"});
    // A CR LF pair split across two reads is still one terminator.
    const std::string longLine(64 * 1024 - 1, 'x');
    EXPECT_EQ(Lines(longLine + "\r\nnext"), (V{longLine, "next"}));
}

TEST_F(FileSystemPosixTest, FoldersAndMissingThingsFail) {
    fs::create_directories(dir / "sub");
    Status error;
    EXPECT_EQ(files.OpenForReading((dir / "sub").string(), &error), nullptr);
    EXPECT_FALSE(error.ok());
    EXPECT_EQ(files.OpenForReading((dir / "none").string(), &error), nullptr);
    EXPECT_FALSE(error.ok());
    FolderListing listing;
    EXPECT_FALSE(files.GetFolder((dir / "none").string(), &listing).ok());
    Write(dir / "file", "x");
    EXPECT_FALSE(files.GetFolder((dir / "file").string(), &listing).ok());
    EXPECT_FALSE(files.CopyFile((dir / "none").string(), (dir / "copy").string()).ok());
    EXPECT_FALSE(fs::exists(dir / "copy"));
}

TEST_F(FileSystemPosixTest, ListingIsSortedWithoutRegardToCaseAndLinksAreFiles) {
    Write(dir / "top" / "b", "");
    Write(dir / "top" / "A", "");
    fs::create_directories(dir / "top" / "Zed");
    fs::create_directories(dir / "top" / "alpha");
    fs::create_directory_symlink(dir / "top", dir / "top" / "loop");
    FolderListing listing;
    ASSERT_TRUE(files.GetFolder((dir / "top").string() + "/", &listing).ok());
    EXPECT_EQ(listing.path, (dir / "top").string());
    EXPECT_EQ(listing.fileNames, (std::vector<std::string>{"A", "b", "loop"}));
    EXPECT_EQ(listing.subFolderPaths,
              (std::vector<std::string>{(dir / "top" / "alpha").string(), (dir / "top" / "Zed").string()}));
}

}  // namespace
}  // namespace brisko
