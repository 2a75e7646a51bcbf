// Writes the code page 936 tables that local text is converted through, read from the C
// library's converter at build time. Building them when the program starts cost more than the
// rest of its start-up together: one iconv call for each of 65,536 units and 24,000 pairs.
//   make_gbk_tables OUTPUT
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// One conversion of `in` through `cd`; the output bytes, or nothing when it fails or leaves
// input behind.
bool convert(iconv_t cd, const char* in, size_t n, std::string& out) {
    char buffer[8];
    char* in_ptr = const_cast<char*>(in);
    char* out_ptr = buffer;
    size_t in_left = n;
    size_t out_left = sizeof buffer;
    const size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (rc == static_cast<size_t>(-1) || in_left != 0) return false;
    out.assign(buffer, out_ptr);
    return true;
}

// The UTF-16 unit that `n` bytes of code page 936 decode to, or 0 when they are no single
// character of it.
unsigned decode(iconv_t cd, const char* bytes, size_t n) {
    std::string out;
    if (!convert(cd, bytes, n, out) || out.size() != 2) return 0;
    return static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8);
}

// The code page 936 form of a unit: a byte below 0x100, a lead and trail pair as lead * 256 +
// trail, or 0 when it has none (unit 0 is byte 0 all the same).
unsigned encode(iconv_t cd, unsigned unit) {
    if (unit >= 0xD800 && unit < 0xE000) return 0;
    const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    std::string out;
    if (!convert(cd, in, 2, out)) return 0;
    if (out.size() == 1) return static_cast<unsigned char>(out[0]);
    if (out.size() == 2)
        return (static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]);
    return 0;
}

void write_array(std::FILE* f, const char* type, const char* name,
                 const std::vector<unsigned>& values) {
    std::fprintf(f, "inline constexpr %s %s[%zu] = {\n", type, name, values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        std::fprintf(f, "0x%04X,%s", values[i], i % 12 == 11 ? "\n" : "");
    }
    std::fprintf(f, "\n};\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_gbk_tables OUTPUT\n");
        return 2;
    }
    iconv_t to_units = iconv_open("UTF-16LE", "CP936");
    iconv_t to_gbk = iconv_open("CP936", "UTF-16LE");
    if (to_units == reinterpret_cast<iconv_t>(-1) || to_gbk == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "make_gbk_tables: the C library has no CP936 converter\n");
        return 1;
    }

    // Bytes 0x80..0xFF on their own, then every lead 0x81..0xFE with every trail 0x40..0xFE.
    std::vector<unsigned> single(0x80);
    for (unsigned b = 0x80; b < 0x100; ++b) {
        const char one = static_cast<char>(b);
        single[b - 0x80] = decode(to_units, &one, 1);
    }
    std::vector<unsigned> pairs(126 * 191);
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const char two[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            pairs[(lead - 0x81) * 191 + (trail - 0x40)] = decode(to_units, two, 2);
        }
    }
    std::vector<unsigned> forms(0x10000);
    for (unsigned unit = 0; unit < 0x10000; ++unit) forms[unit] = encode(to_gbk, unit);
    iconv_close(to_units);
    iconv_close(to_gbk);

    const std::string path = argv[1];
    const std::string temporary = path + ".part";
    std::FILE* f = std::fopen(temporary.c_str(), "w");
    if (f == nullptr) {
        std::perror(temporary.c_str());
        return 1;
    }
    std::fprintf(f,
                 "// Code page 936 as the C library converts it; written by make_gbk_tables.\n"
                 "#pragma once\n#include <cstdint>\nnamespace trasslo::gbk_tables {\n");
    write_array(f, "char16_t", "kSingle", single);
    write_array(f, "char16_t", "kPairs", pairs);
    write_array(f, "std::uint16_t", "kForms", forms);
    std::fprintf(f, "}  // namespace trasslo::gbk_tables\n");
    if (std::fclose(f) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
