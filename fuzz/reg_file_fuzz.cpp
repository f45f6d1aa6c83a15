// SPDX-License-Identifier: GPL-3.0-or-later
// .reg files: whatever a file imports, exporting it, importing that export and
// exporting again must give the same bytes, and the export must read without a
// single complaint. The registry store keeps its hives this way, so a value that
// changed on the second pass would change on every write.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "winenv/reg_file.h"

namespace {

using namespace brisko;

std::string ImportThenExport(std::string_view file, bool mustBeClean) {
    const RegFileContent content = ParseRegFile(file, "fuzz.reg");
    if (mustBeClean && (!content.headerOk || !content.messages.empty())) {
        fuzz::Fail("the export does not read back cleanly: " +
                   (content.messages.empty() ? std::string("no header") : content.messages.front()) +
                   "\nexport: " + fuzz::Escaped(file, 2000));
    }
    std::map<RegRoot, std::unique_ptr<RegKey>> hives;
    for (RegRoot root : kAllRegRoots) hives[root] = std::make_unique<RegKey>(RootName(root));
    for (const RegCommand& command : content.commands) ApplyRegCommand(*hives[command.root], command);
    std::vector<RegExportItem> items;
    for (RegRoot root : kAllRegRoots) items.push_back({RootName(root), hives[root].get()});
    return ExportRegFile(items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string first = ImportThenExport(input, false);
    const std::string second = ImportThenExport(first, true);
    if (first != second) {
        std::size_t at = 0;
        while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
        const std::size_t from = at > 80 ? at - 80 : 0;
        fuzz::Fail("export, import, export changed the file at byte " + std::to_string(at) +
                   "\nfirst:  " + fuzz::Escaped(std::string_view(first).substr(from), 240) +
                   "\nsecond: " + fuzz::Escaped(std::string_view(second).substr(from), 240));
    }
    return 0;
}
