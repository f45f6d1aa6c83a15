#include "tests/platform/temp_folder.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace brisko::test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brisko-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

}  // namespace brisko::test
