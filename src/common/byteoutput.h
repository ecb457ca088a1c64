// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

// Bytes gathered in a buffer and handed on a buffer-full at a time, so that a large file is
// written in one pass from wherever its pieces lie, without ever being held whole. Appending a
// piece that fits is a copy and nothing more.
class ByteOutput
{
public:
    // Takes the next run of bytes; false on a failure, after which nothing more is handed on.
    using Drain = std::function<bool(std::string_view bytes)>;

    explicit ByteOutput(Drain drain, size_t bufferSize = size_t(64) << 10);
    ByteOutput(const ByteOutput &) = delete;
    ByteOutput &operator=(const ByteOutput &) = delete;

    void Append(std::string_view bytes)
    {
        // An empty piece may have no bytes at all to copy from, which memcpy must not be given.
        if (bytes.empty())
            return;
        if (bytes.size() <= m_size - m_used) {
            std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
            m_used += bytes.size();
        } else {
            AppendBeyondBuffer(bytes);
        }
    }

    // Hands on what is left; false when any run could not be handed on, or after Fail.
    bool Finish();
    // For the producer that cannot go on: nothing more is handed on.
    void Fail() { m_failed = true; }

private:
    void AppendBeyondBuffer(std::string_view bytes);
    void Hand(std::string_view bytes);

    Drain m_drain;
    std::unique_ptr<char[]> m_buffer;
    size_t m_size;
    size_t m_used = 0;
    bool m_failed = false;
};
