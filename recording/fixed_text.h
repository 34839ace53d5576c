#pragma once

#include <cstddef>
#include <string>

namespace nereid::recording {

// printf-style formatting into a std::string, for the fixed text fields of the file headers.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Copies `text` into record[offset, offset + width), cut at `width` so that a value too wide
// for its column never spills into the next one. Bytes not covered by text stay as they are.
void PutField(std::string& record, std::size_t offset, std::size_t width, const std::string& text);

// The bytes of [offset, offset + width) of `data`, or fewer when `size` ends first.
std::string TakeText(const unsigned char* data, std::size_t size, std::size_t offset,
                     std::size_t width);

// Leading and trailing spaces (and NULs) removed.
std::string Trim(const std::string& text);

// Strict integer parse of a text field: optional spaces, optional sign, digits, optional
// spaces. Returns false for anything else (empty, letters, overflow beyond +-2^31).
bool ParseIntField(const std::string& text, long& value);

// Strict decimal parse (digits with an optional fraction), surrounded by optional spaces.
bool ParseNumberField(const std::string& text, double& value);

} // namespace nereid::recording
