// Writes the double-byte code page tables that local text is converted through, from
// Microsoft's best-fit files (data/windows-code-pages/bestfit*.txt; their format is in the
// readme.txt beside them). MBTABLE and DBCSTABLE rows are what MultiByteToWideChar gives for a
// byte or a lead and trail pair; WCTABLE rows are what WideCharToMultiByte gives for a UTF-16
// unit, best fit included. Each file becomes one struct, named after its CODEPAGE number.
//   make_code_page_tables OUTPUT BESTFIT_FILE...
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct CodePageFile {
    unsigned number = 0;
    unsigned default_unit = 0;          // CPINFO's character for a code no row has
    std::vector<unsigned> lead_ranges;  // first, last, first, last...
    std::vector<std::optional<unsigned>> single =
        std::vector<std::optional<unsigned>>(0x100);  // byte -> unit
    std::vector<std::optional<unsigned>> pairs =
        std::vector<std::optional<unsigned>>(0x10000);  // lead * 256 + trail -> unit
    std::vector<std::optional<unsigned>> forms =
        std::vector<std::optional<unsigned>>(0x10000);  // unit -> byte, or lead * 256 + trail
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, what.c_str());
    std::exit(1);
}

// A number field: "0x" and hex digits, or decimal digits.
unsigned number(const std::string& field, const std::string& file, int line) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(field.c_str(), &end, 0);
    if (field.empty() || *end != '\0' || value > 0xFFFF) fail(file, line, "bad number " + field);
    return static_cast<unsigned>(value);
}

CodePageFile read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(path, 0, "cannot be read");
    CodePageFile page;
    enum class Section { none, single, ranges, pairs, forms } section = Section::none;
    unsigned rows_left = 0;            // rows still due in the current table
    unsigned ranges_left = 0;          // lead byte ranges still due
    std::vector<unsigned> leads_left;  // lead bytes whose DBCSTABLE is still due
    unsigned lead = 0;
    bool ended = false;
    std::string raw;
    for (int line = 1; !ended && std::getline(in, raw); ++line) {
        // Anything behind a ';' is a comment (in the page's own encoding, so not read).
        std::istringstream fields(raw.substr(0, raw.find(';')));
        std::vector<std::string> f;
        for (std::string word; fields >> word;) f.push_back(word);
        if (f.empty()) continue;
        auto need_fields = [&](size_t n) {
            if (f.size() != n) fail(path, line, "expected " + std::to_string(n) + " fields");
        };
        auto start_table = [&](Section next) {
            if (rows_left != 0) fail(path, line, "the table before has rows missing");
            need_fields(2);
            section = next;
            rows_left = number(f[1], path, line);
        };
        if (f[0] == "CODEPAGE") {
            need_fields(2);
            page.number = number(f[1], path, line);
        } else if (f[0] == "CPINFO") {
            need_fields(4);
            if (number(f[1], path, line) != 2) fail(path, line, "not a double-byte code page");
            page.default_unit = number(f[3], path, line);
        } else if (f[0] == "MBTABLE") {
            start_table(Section::single);
        } else if (f[0] == "WCTABLE") {
            start_table(Section::forms);
        } else if (f[0] == "DBCSRANGE") {
            need_fields(2);
            section = Section::ranges;
            ranges_left = number(f[1], path, line);
        } else if (f[0] == "DBCSTABLE") {
            if (leads_left.empty()) fail(path, line, "DBCSTABLE outside a lead byte range");
            start_table(Section::pairs);
            lead = leads_left.front();
            leads_left.erase(leads_left.begin());
        } else if (f[0] == "ENDCODEPAGE") {
            ended = true;
        } else {
            need_fields(2);
            const unsigned from = number(f[0], path, line);
            const unsigned to = number(f[1], path, line);
            // A lead byte range: the DBCSTABLEs of its bytes follow, one for each, and then
            // the next range.
            const bool range = section == Section::ranges ||
                               (section == Section::pairs && rows_left == 0 && ranges_left > 0);
            if (range) {
                if (ranges_left == 0 || !leads_left.empty() || from > to || to > 0xFF)
                    fail(path, line, "unexpected lead byte range");
                --ranges_left;
                page.lead_ranges.insert(page.lead_ranges.end(), {from, to});
                for (unsigned b = from; b <= to; ++b) leads_left.push_back(b);
                continue;
            }
            if (rows_left == 0) fail(path, line, "a row beyond the table's count");
            --rows_left;
            if (section == Section::single && from <= 0xFF) {
                page.single[from] = to;
            } else if (section == Section::pairs && from <= 0xFF) {
                page.pairs[lead * 256 + from] = to;
            } else if (section == Section::forms) {
                page.forms[from] = to;
            } else {
                fail(path, line, "unexpected row");
            }
        }
    }
    if (!ended || rows_left != 0 || ranges_left != 0 || !leads_left.empty() || page.number == 0)
        fail(path, 0, "incomplete: tables or ENDCODEPAGE missing");
    return page;
}

void write_array(std::FILE* f, const char* type, const char* name,
                 const std::vector<unsigned>& values) {
    std::fprintf(f, "    static constexpr %s %s[%zu] = {\n", type, name, values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        std::fprintf(f, "0x%04X,%s", values[i], i % 12 == 11 ? "\n" : "");
    }
    std::fprintf(f, "\n};\n");
}

// The struct of one code page. The converter decodes bytes below 0x80 as themselves without a
// look-up, tells lead bytes by one range test and takes form 0 for "none", so a file that
// breaks one of these assumptions is refused.
void write_page(std::FILE* f, const CodePageFile& page, const std::string& path) {
    if (page.lead_ranges.size() != 2) fail(path, 0, "not one range of lead bytes");
    const unsigned first_lead = page.lead_ranges[0], last_lead = page.lead_ranges[1];
    auto is_lead = [&](unsigned b) { return b >= first_lead && b <= last_lead; };
    std::vector<unsigned> is_trail(0x100);
    for (unsigned code = 0; code < 0x10000; ++code) {
        if (page.pairs[code]) is_trail[code & 0xFF] = 1;
    }
    std::vector<unsigned> single(0x100);
    for (unsigned b = 0; b < 0x100; ++b) {
        if (b < 0x80 && (page.single[b] != b || is_lead(b)))
            fail(path, 0, "a byte below 0x80 that is not itself");
        single[b] = is_lead(b) || !page.single[b] ? page.default_unit : *page.single[b];
    }
    // A full row of 256 for each lead byte: a look-up without a range test on the trail byte
    // made decoding a quarter faster than rows of only the trail bytes in use.
    std::vector<unsigned> pairs((last_lead - first_lead + 1) * 256);
    for (unsigned lead = first_lead; lead <= last_lead; ++lead) {
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            const auto& unit = page.pairs[lead * 256 + trail];
            if (unit && *unit == 0) fail(path, 0, "a pair decoding to U+0000");
            pairs[(lead - first_lead) * 256 + trail] = unit ? *unit : 0;
        }
    }
    std::vector<unsigned> forms(0x10000);
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const auto& form = page.forms[unit];
        if (!form) continue;
        if (*form == 0 && unit != 0) fail(path, 0, "a character encoded as byte 0");
        const bool pair = *form > 0xFF;
        if (pair ? !is_lead(*form >> 8) : is_lead(*form))
            fail(path, 0, "a WCTABLE form that does not fit the lead bytes");
        forms[unit] = *form;
    }

    std::fprintf(f, "struct Cp%u {\n", page.number);
    std::fprintf(f, "    static constexpr char16_t kDefaultUnit = 0x%04X;\n", page.default_unit);
    std::fprintf(f, "    static constexpr unsigned kFirstLead = 0x%02X;\n", first_lead);
    std::fprintf(f, "    static constexpr unsigned kLeadCount = %u;\n", last_lead - first_lead + 1);
    std::fprintf(f, "    // 1 for a byte that is the trail byte of some row.\n");
    write_array(f, "std::uint8_t", "kIsTrail", is_trail);
    std::fprintf(f, "    // The unit of each byte on its own; kDefaultUnit for lead bytes.\n");
    write_array(f, "char16_t", "kSingle", single);
    std::fprintf(f, "    // (lead - kFirstLead) * 256 + trail -> unit; 0 where no row is.\n");
    write_array(f, "char16_t", "kPairs", pairs);
    std::fprintf(f,
                 "    // unit -> byte, or lead * 256 + trail; 0 where no row is (unit 0 is byte "
                 "0).\n");
    write_array(f, "std::uint16_t", "kForms", forms);
    std::fprintf(f, "};\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_code_page_tables OUTPUT BESTFIT_FILE...\n");
        return 2;
    }
    std::vector<CodePageFile> pages;
    for (int i = 2; i < argc; ++i) pages.push_back(read_file(argv[i]));

    const std::string path = argv[1];
    const std::string temporary = path + ".part";
    std::FILE* f = std::fopen(temporary.c_str(), "w");
    if (f == nullptr) {
        std::perror(temporary.c_str());
        return 1;
    }
    std::fprintf(f,
                 "// Code pages as Windows converts them, from Microsoft's best-fit files; "
                 "written by make_code_page_tables.\n"
                 "#pragma once\n#include <cstdint>\nnamespace trasslo::code_page_tables {\n");
    for (size_t i = 0; i < pages.size(); ++i) write_page(f, pages[i], argv[i + 2]);
    std::fprintf(f, "}  // namespace trasslo::code_page_tables\n");
    if (std::fclose(f) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
