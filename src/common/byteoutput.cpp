// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/byteoutput.h"

ByteOutput::ByteOutput(Drain drain, size_t bufferSize)
    : m_drain(std::move(drain)), m_buffer(std::make_unique_for_overwrite<char[]>(bufferSize)),
      m_size(bufferSize)
{
}

void ByteOutput::Hand(std::string_view bytes)
{
    if (!m_failed && !bytes.empty() && !m_drain(bytes))
        m_failed = true;
}

void ByteOutput::AppendBeyondBuffer(std::string_view bytes)
{
    // A piece as large as the buffer goes on directly rather than through it.
    if (bytes.size() >= m_size) {
        Hand({m_buffer.get(), m_used});
        m_used = 0;
        Hand(bytes);
        return;
    }
    // Otherwise the buffer is filled and handed on whole, so that the runs stay a buffer-full
    // each: the file system takes whole blocks fastest.
    const size_t room = m_size - m_used;
    std::memcpy(m_buffer.get() + m_used, bytes.data(), room);
    Hand({m_buffer.get(), m_size});
    bytes.remove_prefix(room);
    std::memcpy(m_buffer.get(), bytes.data(), bytes.size());
    m_used = bytes.size();
}

bool ByteOutput::Finish()
{
    Hand({m_buffer.get(), m_used});
    m_used = 0;
    return !m_failed;
}
