#pragma once

#include <QByteArrayView>
#include <cstring>
#include <memory>

// A growable run of bytes that, unlike std::vector<char>, does not clear the room it adds:
// the grid writes millions of short texts into it.
class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(size_t count, char fill)
    {
        if (count > 0)
            std::memset(extend(count), fill, count);
    }

    const char* data() const { return m_data.get(); }
    char* data() { return m_data.get(); }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    void clear() { m_size = 0; }

    // Adds count bytes at the end and returns where they begin, for the caller to write.
    char* extend(size_t count)
    {
        if (m_size + count > m_capacity)
            grow(m_size + count);
        char* at = m_data.get() + m_size;
        m_size += count;
        return at;
    }
    // Drops the bytes from size on.
    void truncate(size_t size) { m_size = size < m_size ? size : m_size; }
    void push_back(char c) { *extend(1) = c; }
    void append(const char* bytes, size_t count)
    {
        if (count > 0)
            std::memcpy(extend(count), bytes, count);
    }
    void append(QByteArrayView bytes) { append(bytes.data(), static_cast<size_t>(bytes.size())); }

private:
    void grow(size_t needed)
    {
        size_t capacity = m_capacity < 64 ? 64 : m_capacity * 2;
        while (capacity < needed)
            capacity *= 2;
        std::unique_ptr<char[]> bigger(new char[capacity]);
        if (m_size > 0)
            std::memcpy(bigger.get(), m_data.get(), m_size);
        m_data = std::move(bigger);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
