// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file_system.h"

#include <cstring>

namespace brisko {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}  // namespace

bool ChunkedLineReader::AtEndOfStream() { return !Fill() && m_error.ok(); }

Status ChunkedLineReader::ReadLine(std::string* line) {
    line->clear();
    if (!Fill()) return m_error.ok() ? Status::Fail(62, "Input past end of file") : m_error;
    for (;;) {
        if (!Fill()) return m_error;  // end of file ends the last line
        const char* begin = m_buffer.data() + m_pos;
        const char* end = m_buffer.data() + m_size;
        const char* cr = static_cast<const char*>(std::memchr(begin, '\r', end - begin));
        if (!cr) {
            line->append(begin, end);
            m_pos = m_size;
            continue;
        }
        line->append(begin, cr);
        m_pos += (cr - begin) + 1;
        if (Fill() && m_buffer[m_pos] == '\n') ++m_pos;
        return m_error;
    }
}

bool ChunkedLineReader::Fill() {
    if (m_pos < m_size) return true;
    if (m_eof || !m_error.ok()) return false;
    m_buffer.resize(kChunk);
    std::size_t read = 0;
    m_error = ReadChunk(m_buffer.data(), m_buffer.size(), &read);
    if (!m_error.ok()) return false;
    m_pos = 0;
    m_size = read;
    if (read == 0) m_eof = true;
    return read > 0;
}

}  // namespace brisko
