// SPDX-License-Identifier: GPL-3.0-or-later
// The download client: a server's response judged as it arrives must give the same
// verdict (refused or not, the size counted to, the bytes counted, completion)
// however the network cuts it into reads. Each input is compared against the same
// bytes arriving in one read.
//
// Input: the response, then 2 bytes (big-endian) per cut position, then one byte
// holding how many cuts (0 to 15) precede it. Cut positions are taken modulo the
// response length plus one.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "speedtest/download_client.h"
#include "tests/support/fakes.h"

namespace {

using namespace brisko;

struct Verdict {
    bool refused = false;
    int headerDone = 0;  // times the progress timer was started
    std::int64_t totalBytes = 0;
    std::int64_t receivedBytes = 0;
    bool complete = false;
    std::vector<std::string> otherMessages;

    bool operator==(const Verdict&) const = default;
    std::string Show() const {
        std::string out = std::string(refused ? "refused" : "not refused") + ", header done " +
                          std::to_string(headerDone) + "x, TotalBytes " + std::to_string(totalBytes) +
                          ", ReceivedBytes " + std::to_string(receivedBytes) +
                          (complete ? ", complete" : ", not complete");
        for (const std::string& m : otherMessages) out += ", message " + fuzz::Escaped(m, 80);
        return out;
    }
};

// Plays the server: accepts, sends the response in the reads given, then closes.
Verdict Download(const std::string& response, const std::vector<std::size_t>& cuts) {
    test::FakeTcpSocket socket;
    test::FakeClock clock;
    test::FakeMessageBox messages;
    Verdict verdict;
    DownloadClient client(socket, clock, messages, [&] { ++verdict.headerDone; });
    client.SetTestUrl("files.example/100k.bin");
    client.ConnectToTestServer();
    socket.Accept();

    std::size_t from = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(response.size());
    for (std::size_t end : ends) {
        if (!socket.open) break;  // a closed socket hears nothing more
        if (end <= from) continue;
        socket.Arrive(response.substr(from, end - from));
        from = end;
    }
    if (socket.open) socket.PeerCloses();

    for (const std::string& text : messages.Texts()) {
        if (text == kFileNotFoundText)
            verdict.refused = true;
        else
            verdict.otherMessages.push_back(text);
    }
    verdict.totalBytes = client.Counters().TotalBytes;
    verdict.receivedBytes = client.Counters().ReceivedBytes;
    verdict.complete = !socket.open && !verdict.refused;
    return verdict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t count = data[size - 1] % 16;
    --size;
    count = std::min(count, size / 2);
    const std::size_t responseSize = size - 2 * count;
    const std::string response(reinterpret_cast<const char*>(data), responseSize);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* at = data + responseSize + 2 * i;
        cuts.push_back(((std::size_t{at[0]} << 8) | at[1]) % (responseSize + 1));
    }
    std::sort(cuts.begin(), cuts.end());

    const Verdict whole = Download(response, {});
    const Verdict split = Download(response, cuts);
    if (!(whole == split)) {
        std::string reads;
        std::size_t from = 0;
        cuts.push_back(response.size());
        for (std::size_t end : cuts) {
            if (end <= from) continue;
            reads += "\n  " + fuzz::Escaped(response.substr(from, end - from), 120);
            from = end;
        }
        fuzz::Fail("the verdict depends on how the response is cut\nresponse: " + fuzz::Escaped(response) +
                   "\nin one read: " + whole.Show() + "\nin reads:    " + split.Show() + reads);
    }
    return 0;
}
