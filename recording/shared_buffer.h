#pragma once

#include <cstddef>
#include <cstdint>

namespace nereid::recording {

// An anonymous shared mapping, readable and writable, released with the object. Pages are only
// backed once touched, so a 12-hour period buffer costs nothing until it is used.
class CSharedBuffer {
public:
    CSharedBuffer() = default;
    ~CSharedBuffer();
    CSharedBuffer(CSharedBuffer&& other) noexcept;
    CSharedBuffer& operator=(CSharedBuffer&& other) noexcept;
    CSharedBuffer(const CSharedBuffer&) = delete;
    CSharedBuffer& operator=(const CSharedBuffer&) = delete;

    // Maps `bytes` bytes (at least 1). Returns 1, or 0 when the mapping failed (the buffer is
    // then empty).
    int Allocate(std::size_t bytes);
    void Release();

    std::uint8_t* Data() { return m_Data; }
    std::size_t Size() const { return m_Size; }

private:
    std::uint8_t* m_Data = nullptr;
    std::size_t m_Size = 0;
};

} // namespace nereid::recording
