// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/control_profile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "boost/reg_access.h"

namespace fs = std::filesystem;

namespace brisko {

namespace {

std::string NewProfileName() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string name;
    for (int i = 0; i < 8; ++i) name += kLetters[pick(random)];
    return name;
}

bool EndsWithSlt(const std::string& name) {
    if (name.size() <= 4) return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".slt";
}

Status FromError(const std::error_code& ec, const std::string& what) {
    return Status::Fail(ec.value() ? ec.value() : -1, what + ": " + ec.message());
}

}  // namespace

std::string ControlProfileRoot(const std::string& homePath) {
    return "C:" + homePath + "\\application data\\mozillaControl\\profiles\\mozillaControl\\";
}

std::string EnsureControlProfile(RegistryReader& registry, const PathMapper& paths, Status* error) {
    *error = Status::Ok();
    const std::string home = RegAccess::ReadRegValue(registry, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH");
    if (home == "Not Found" || home.empty()) {
        *error = Status::Fail(2, "The user's home folder is not known (HOMEPATH is not set)");
        return {};
    }
    const fs::path root = paths.ToNative(ControlProfileRoot(home));
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec) {
        *error = FromError(ec, "Cannot make the profile folder " + root.string());
        return {};
    }
    // The boost takes the only folder in the root as the profile: reuse it if there is one.
    std::vector<fs::path> existing;
    for (const auto& entry : fs::directory_iterator(root, ec))
        if (entry.is_directory() && EndsWithSlt(entry.path().filename().string())) existing.push_back(entry.path());
    std::sort(existing.begin(), existing.end());
    const fs::path folder = existing.empty() ? root / (NewProfileName() + ".slt") : existing.front();
    fs::create_directories(folder, ec);
    if (ec) {
        *error = FromError(ec, "Cannot make the profile folder " + folder.string());
        return {};
    }

    const fs::path prefs = folder / "prefs.js";
    if (!fs::exists(prefs, ec)) {
        const fs::path stock = fs::path(paths.ProgramFolder()) / "control.js";
        if (fs::exists(stock, ec)) {
            fs::copy_file(stock, prefs, fs::copy_options::overwrite_existing, ec);
        } else {
            std::ofstream out(prefs, std::ios::binary);
            out << "# Mozilla User Preferences\r\n\r\n";
            if (!out) ec = std::make_error_code(std::errc::io_error);
        }
        if (ec) {
            *error = FromError(ec, "Cannot write " + prefs.string());
            return {};
        }
    }
    return folder.string();
}

std::string MozillaEngineProfile(RegistryReader& registry, const PathMapper& paths,
                                 const std::string& fallbackFolder, std::string* problem) {
    Status error;
    const std::string profile = EnsureControlProfile(registry, paths, &error);
    if (error.ok()) {
        problem->clear();
        return profile;
    }
    *problem = "The Mozilla engine's profile could not be prepared: " + error.text;
    return fallbackFolder;
}

}  // namespace brisko
