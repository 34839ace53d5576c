#include "sim/drive_store.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <tuple>

namespace nereid::sim {

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool DosChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x21 || u > 0x7E)
        return false;
    static const std::string forbidden = "\"*+,/:;<=>?[\\]|.";
    return forbidden.find(c) == std::string::npos;
}

bool GlobMatch(const char* p, const char* s) {
    for (; *p; ++p) {
        if (*p == '*') {
            for (const char* t = s;; ++t) {
                if (GlobMatch(p + 1, t))
                    return true;
                if (!*t)
                    return false;
            }
        }
        if (!*s || (*p != '?' && *p != *s))
            return false;
        ++s;
    }
    return *s == '\0';
}

void DosStamp(const fs::path& path, std::uint16_t& time, std::uint16_t& date) {
    struct stat st {};
    const std::time_t t = ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
    std::tm tm{};
    gmtime_r(&t, &tm);
    const int year = std::clamp(tm.tm_year + 1900, 1980, 2107);
    time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
}

// Host entry of `dir` whose name equals `name` case-blind; empty when none.
fs::path FindEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    const std::string wanted = Upper(name);
    for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        if (Upper(it->path().filename().string()) == wanted)
            return it->path();
    return {};
}

} // namespace

bool DriveStore::SplitDosName(const std::string& name, std::string& base, std::string& extension) {
    const auto dot = name.find('.');
    base = Upper(name.substr(0, dot));
    extension = dot == std::string::npos ? std::string() : Upper(name.substr(dot + 1));
    if (base.empty() || base.size() > 8 || extension.size() > 3)
        return false;
    return std::all_of(base.begin(), base.end(), DosChar) &&
           std::all_of(extension.begin(), extension.end(), DosChar);
}

bool DriveStore::MatchDosPattern(const std::string& pattern, const std::string& name) {
    const std::string p = Upper(pattern);
    const std::string n = Upper(name);
    if (p == "*" || p == "*.*")
        return true;
    const auto pdot = p.find('.');
    const auto ndot = n.find('.');
    const std::string pb = p.substr(0, pdot);
    const std::string pe = pdot == std::string::npos ? "*" : p.substr(pdot + 1);
    const std::string nb = n.substr(0, ndot);
    const std::string ne = ndot == std::string::npos ? "" : n.substr(ndot + 1);
    return GlobMatch(pb.c_str(), nb.c_str()) && GlobMatch(pe.c_str(), ne.c_str());
}

int DriveStore::SetDrive(char letter, const fs::path& folder) {
    const int index = std::toupper(static_cast<unsigned char>(letter)) - 'A';
    std::error_code ec;
    if (index < 0 || index >= kDrives || !fs::is_directory(folder, ec))
        return -1;
    m_Folders[static_cast<std::size_t>(index)] = fs::absolute(folder, ec);
    return 1;
}

std::uint64_t DriveStore::UsedBytes(int index) const {
    if (!Present(index))
        return 0;
    std::uint64_t total = 0;
    // Entries may vanish while they are counted (the folder is the host's): the iterator is
    // advanced with an error code, as a range-for would throw and end the recorder.
    std::error_code ec;
    fs::recursive_directory_iterator it(Folder(index),
                                        fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code entryError;
        if (it->is_regular_file(entryError)) {
            const std::uintmax_t size = it->file_size(entryError);
            if (!entryError)
                total += size;
        }
    }
    return total;
}

int DriveStore::Resolve(const std::string& path, bool keepLast, fs::path& host, std::string& last,
                        std::string& why) const {
    if (path.size() < 2 || path[1] != ':') {
        why = "path '" + path + "' does not start with a drive letter and a colon";
        return -1;
    }
    const int index = std::toupper(static_cast<unsigned char>(path[0])) - 'A';
    if (index < 0 || index >= kDrives || !Present(index)) {
        why = "drive " + path.substr(0, 2) + " is not installed";
        return -1;
    }
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 2; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part.push_back(path[i]);
        }
    }
    host = Folder(index);
    last.clear();
    if (keepLast && !parts.empty()) {
        last = parts.back();
        parts.pop_back();
    }
    for (const std::string& name : parts) {
        std::string base, ext;
        if (!SplitDosName(name, base, ext)) {
            why = "'" + name + "' is not a recorder file name";
            return -1;
        }
        const fs::path next = FindEntry(host, name);
        if (next.empty()) {
            why = "'" + name + "' not found in " + path;
            return -1;
        }
        host = next;
    }
    return 1;
}

int DriveStore::List(const std::string& pattern, std::vector<DriveEntry>& entries,
                     std::string& why) const {
    entries.clear();
    fs::path dir;
    std::string mask;
    if (Resolve(pattern, true, dir, mask, why) < 0)
        return -1;
    if (mask.empty())
        mask = "*.*";
    std::error_code ec;
    if (mask.find_first_of("*?") == std::string::npos) {
        // A plain name: a folder lists its contents, a file lists itself.
        std::string base, ext;
        if (!SplitDosName(mask, base, ext)) {
            why = "'" + mask + "' is not a recorder file name";
            return -1;
        }
        const fs::path named = FindEntry(dir, mask);
        if (named.empty()) {
            why = "'" + mask + "' not found";
            return -1;
        }
        if (fs::is_directory(named, ec)) {
            dir = named;
            mask = "*.*";
        }
    }
    if (!fs::is_directory(dir, ec)) {
        why = "'" + pattern + "' is not a folder";
        return -1;
    }
    for (fs::directory_iterator it(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const fs::directory_entry& e = *it;
        const std::string name = e.path().filename().string();
        DriveEntry entry;
        if (!SplitDosName(name, entry.base, entry.extension))
            continue; // names a recorder cannot hold stay invisible
        if (!MatchDosPattern(mask, name))
            continue;
        // An entry that vanished meanwhile is left out; the listing goes on.
        std::error_code entryError;
        entry.directory = e.is_directory(entryError);
        if (!entry.directory && !e.is_regular_file(entryError))
            continue;
        if (!entry.directory) {
            const std::uintmax_t size = e.file_size(entryError);
            if (entryError)
                continue;
            entry.size = static_cast<std::uint32_t>(std::min<std::uintmax_t>(size, 0xFFFFFFFFu));
        }
        DosStamp(e.path(), entry.dosTime, entry.dosDate);
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const DriveEntry& a, const DriveEntry& b) {
        if (a.directory != b.directory)
            return a.directory;
        return std::tie(a.base, a.extension) < std::tie(b.base, b.extension);
    });
    return 1;
}

int DriveStore::ResolveFile(const std::string& path, fs::path& host, std::string& why) const {
    std::string last;
    if (Resolve(path, false, host, last, why) < 0)
        return -1;
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) {
        why = "'" + path + "' is not a file";
        return -1;
    }
    return 1;
}

int DriveStore::Read(const std::string& path, std::vector<std::uint8_t>& data,
                     std::string& why) const {
    fs::path host;
    if (ResolveFile(path, host, why) < 0)
        return -1;
    std::error_code ec;
    const auto size = fs::file_size(host, ec);
    if (ec || size > kMaxFileBytes) {
        why = "'" + path + "' is too large to send";
        return -1;
    }
    data.resize(static_cast<std::size_t>(size));
    std::ifstream in(host, std::ios::binary);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!in) {
        why = "cannot read '" + path + "'";
        data.clear();
        return -1;
    }
    return 1;
}

int DriveStore::Delete(const std::string& path, std::string& why) const {
    fs::path host;
    if (ResolveFile(path, host, why) < 0)
        return -1;
    std::error_code ec;
    if (!fs::remove(host, ec) || ec) {
        why = "cannot delete '" + path + "': " + ec.message();
        return -1;
    }
    return 1;
}

} // namespace nereid::sim
