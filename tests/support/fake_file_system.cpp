// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_file_system.h"

namespace brisko::test {

namespace {

class FailingWriter final : public TextLineWriter {
public:
    FailingWriter(std::unique_ptr<TextLineWriter> real, FakeFileSystem& owner)
        : m_real(std::move(real)), m_owner(owner) {}
    Status WriteLine(const std::string& line) override {
        if (++m_owner.writeLines == m_owner.failWriteLine) return Status::Fail(28, "No space left on device");
        return m_real->WriteLine(line);
    }
    Status Commit() override {
        if (m_owner.failCommit) return Status::Fail(5, "Input/output error");
        return m_real->Commit();
    }

private:
    std::unique_ptr<TextLineWriter> m_real;
    FakeFileSystem& m_owner;
};

}  // namespace

std::unique_ptr<TextLineWriter> FakeFileSystem::CreateForWriting(const std::string& path, Status* error) {
    auto real = m_real.CreateForWriting(path, error);
    if (!real) return nullptr;
    return std::make_unique<FailingWriter>(std::move(real), *this);
}

Status FakeFileSystem::CopyFile(const std::string& from, const std::string& to) {
    if (!failCopyTo.empty() && to.ends_with(failCopyTo)) {
        // Half a copy, where the real copy would have written it.
        Status opened;
        if (auto partial = m_real.CreateForWriting(to, &opened)) partial->WriteLine("# Mozilla User");
        return Status::Fail(28, "No space left on device");
    }
    return m_real.CopyFile(from, to);
}

}  // namespace brisko::test
