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
    Hand({m_buffer.get(), m_used});
    m_used = 0;
    // A piece as large as the buffer goes on directly rather than through it.
    if (bytes.size() >= m_size) {
        Hand(bytes);
        return;
    }
    std::memcpy(m_buffer.get(), bytes.data(), bytes.size());
    m_used = bytes.size();
}

bool ByteOutput::Finish()
{
    Hand({m_buffer.get(), m_used});
    m_used = 0;
    return !m_failed;
}

void AppendInTextMode(ByteOutput &out, std::string_view text)
{
    for (size_t lineEnd = 0; (lineEnd = text.find('\n')) != std::string_view::npos;) {
        out.Append(text.substr(0, lineEnd));
        out.Append("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    out.Append(text);
}
