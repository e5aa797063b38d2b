// ASCII FBX: the same element tree as text. "Name: value, value {" opens an element, "}" closes
// it, ";" starts a comment. Arrays are written "*count { a: v, v, ... }". Binary blobs
// (embedded media) are base64 strings, possibly split into several quoted chunks that are each
// padded on their own, so every chunk is decoded separately.
#include "fbxio/FbxReader.h"

#include <charconv>
#include <cstring>

namespace fbxio {

namespace {

    bool IsSpace(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    }
    bool IsNameChar(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '|'
            || c == '-' || c == '.' || c == '+';
    }

    int Base64Digit(char c)
    {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    }

    class AsciiReader {
    public:
        AsciiReader(const std::uint8_t* data, std::size_t size, std::string& error)
            : text_(reinterpret_cast<const char*>(data))
            , size_(size)
            , budget_(MemoryBudget::ForFileSize(size))
            , error_(error)
        {
        }

        bool Read(Document& doc)
        {
            if (size_ >= 3 && std::memcmp(text_, "\xEF\xBB\xBF", 3) == 0)
                pos_ = 3;
            doc.binary = false;
            if (!ReadChildren(doc.root, 0))
                return false;
            SkipBlank();
            if (pos_ < size_)
                return Fail("unexpected '" + std::string(1, text_[pos_]) + "'");
            return FindVersion(doc);
        }

    private:
        bool Fail(const std::string& what)
        {
            std::size_t line = 1;
            for (std::size_t k = 0; k < pos_ && k < size_; ++k)
                line += text_[k] == '\n';
            error_ = what + " (line " + std::to_string(line) + ", offset " + Hex(pos_) + ")";
            return false;
        }

        bool FindVersion(Document& doc)
        {
            const Element* header = doc.root.Find("FBXHeaderExtension");
            const Element* version = header ? header->Find("FBXVersion") : nullptr;
            if (!version || version->values.empty() || !version->values[0].IsNumber()) {
                pos_ = 0;
                return Fail("not an FBX file: no FBXHeaderExtension with an FBXVersion");
            }
            std::int64_t v = version->values[0].AsInt();
            if (v >= 2000 && v < 7000) {
                pos_ = version->offset;
                return Fail("FBX " + std::to_string(v / 1000) + "." + std::to_string(v / 100 % 10) + " files (version "
                    + std::to_string(v) + ") are not supported; re-export as FBX 7.x");
            }
            if (v < 7000 || v > 7999) {
                pos_ = version->offset;
                return Fail("unsupported ASCII FBX version " + std::to_string(v));
            }
            doc.version = int(v);
            return true;
        }

        void SkipBlank()
        {
            while (pos_ < size_) {
                char c = text_[pos_];
                if (IsSpace(c)) {
                    ++pos_;
                } else if (c == ';') {
                    while (pos_ < size_ && text_[pos_] != '\n')
                        ++pos_;
                } else {
                    break;
                }
            }
        }

        bool ReadChildren(Element& parent, int depth)
        {
            if (depth > kMaxElementDepth)
                return Fail("elements nest deeper than " + std::to_string(kMaxElementDepth));
            while (true) {
                SkipBlank();
                if (pos_ >= size_ || text_[pos_] == '}')
                    return true;
                if (!ReadElement(parent, depth))
                    return false;
            }
        }

        bool ReadElement(Element& parent, int depth)
        {
            std::size_t start = pos_;
            while (pos_ < size_ && IsNameChar(text_[pos_]))
                ++pos_;
            if (pos_ == start || pos_ >= size_ || text_[pos_] != ':')
                return Fail("expected an element name followed by ':'");
            if (!budget_.Take(sizeof(Element)))
                return Fail("the document needs more memory than the file's size allows");
            Element& element = parent.children.emplace_back();
            element.name.assign(text_ + start, pos_ - start);
            element.offset = start;
            ++pos_;
            if (!ReadValues(element))
                return false;
            SkipBlank();
            if (pos_ < size_ && text_[pos_] == '{') {
                ++pos_;
                if (!element.values.empty() && element.values.back().type == '*') {
                    // "*count { a: ... }": the array lives in the braces.
                    std::int64_t declared = element.values.back().i;
                    element.values.pop_back();
                    if (!ReadArrayBody(element, declared))
                        return false;
                } else if (!ReadChildren(element, depth + 1)) {
                    return false;
                }
                SkipBlank();
                if (pos_ >= size_ || text_[pos_] != '}')
                    return Fail("'}' expected to close '" + element.name + "'");
                ++pos_;
            }
            return true;
        }

        // Values follow the colon, separated by commas; a comma may also lead ("Content: , ...").
        bool ReadValues(Element& element)
        {
            SkipInline();
            if (pos_ < size_ && text_[pos_] == ',') {
                // A leading comma means the values follow, possibly on the next line.
                ++pos_;
                SkipBlank();
            }
            while (true) {
                SkipInline();
                if (pos_ >= size_)
                    return true;
                char c = text_[pos_];
                if (c == '{' || c == '\n' || c == '\r' || c == '}' || c == ';')
                    return true;
                if (!budget_.Take(sizeof(Value)))
                    return Fail("the document needs more memory than the file's size allows");
                Value value;
                value.offset = pos_;
                if (!ReadValue(value, element.name == "Content"))
                    return false;
                if (value.type == 'R' && !element.values.empty() && element.values.back().type == 'R') {
                    auto& into = element.values.back().owned;
                    into.insert(into.end(), value.owned.begin(), value.owned.end());
                } else {
                    element.values.push_back(std::move(value));
                }
                SkipBlank();
                if (pos_ < size_ && text_[pos_] == ',') {
                    ++pos_;
                    SkipBlank();
                    continue;
                }
                return true;
            }
        }

        void SkipInline()
        {
            while (pos_ < size_ && (text_[pos_] == ' ' || text_[pos_] == '\t'))
                ++pos_;
        }

        bool ReadValue(Value& value, bool base64)
        {
            char c = text_[pos_];
            if (c == '"')
                return ReadQuoted(value, base64);
            if (c == '*') {
                ++pos_;
                Value count;
                if (!ReadNumber(count) || count.type != 'L' || count.i < 0)
                    return Fail("array count expected after '*'");
                value.type = '*';
                value.i = count.i;
                return true;
            }
            if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')
                return ReadNumber(value);
            // Bare words: single-letter flags such as Y, T or W, and the odd bare identifier.
            std::size_t start = pos_;
            while (pos_ < size_ && IsNameChar(text_[pos_]))
                ++pos_;
            if (pos_ == start)
                return Fail("unexpected '" + std::string(1, c) + "' in a value list");
            value.type = 'S';
            value.owned.assign(text_ + start, text_ + pos_);
            return true;
        }

        bool ReadQuoted(Value& value, bool base64)
        {
            std::size_t start = ++pos_;
            const void* close = std::memchr(text_ + pos_, '"', size_ - pos_);
            if (!close)
                return Fail("string is not closed");
            std::size_t end = std::size_t(static_cast<const char*>(close) - text_);
            pos_ = end + 1;
            if (!budget_.Take(end - start))
                return Fail("the document needs more memory than the file's size allows");
            if (base64)
                return DecodeBase64(start, end, value);
            value.type = 'S';
            value.owned.reserve(end - start);
            for (std::size_t k = start; k < end; ++k) {
                if (text_[k] == '&' && end - k >= 6 && std::memcmp(text_ + k, "&quot;", 6) == 0) {
                    value.owned.push_back('"');
                    k += 5;
                } else {
                    value.owned.push_back(std::uint8_t(text_[k]));
                }
            }
            return true;
        }

        bool DecodeBase64(std::size_t start, std::size_t end, Value& value)
        {
            value.type = 'R';
            std::uint32_t bits = 0;
            int held = 0;
            for (std::size_t k = start; k < end; ++k) {
                char c = text_[k];
                if (c == '=')
                    break;
                if (IsSpace(c))
                    continue;
                int digit = Base64Digit(c);
                if (digit < 0) {
                    pos_ = k;
                    return Fail("invalid base64 character");
                }
                bits = (bits << 6) | std::uint32_t(digit);
                held += 6;
                if (held >= 8) {
                    held -= 8;
                    value.owned.push_back(std::uint8_t(bits >> held));
                }
            }
            return true;
        }

        bool ReadNumber(Value& value)
        {
            std::size_t start = pos_;
            if (pos_ < size_ && (text_[pos_] == '-' || text_[pos_] == '+'))
                ++pos_;
            bool fractional = false;
            while (pos_ < size_) {
                char c = text_[pos_];
                if (c >= '0' && c <= '9') {
                    ++pos_;
                } else if (c == '.' || c == 'e' || c == 'E'
                    || ((c == '-' || c == '+') && (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E'))) {
                    fractional = true;
                    ++pos_;
                } else {
                    break;
                }
            }
            const char* first = text_ + start;
            if (first < text_ + pos_ && *first == '+')
                ++first;
            const char* last = text_ + pos_;
            if (!fractional) {
                std::int64_t v = 0;
                auto r = std::from_chars(first, last, v);
                if (r.ec == std::errc() && r.ptr == last) {
                    value.type = 'L';
                    value.i = v;
                    return true;
                }
            }
            double d = 0;
            auto r = std::from_chars(first, last, d);
            if (r.ptr != last || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)) {
                pos_ = start;
                return Fail("malformed number");
            }
            value.type = 'D';
            value.d = d;
            return true;
        }

        // "a: v, v, v": numbers only; the array becomes 'd' when any is fractional, else 'l'.
        bool ReadArrayBody(Element& element, std::int64_t declared)
        {
            SkipBlank();
            Value array;
            array.offset = pos_;
            std::vector<double> reals;
            std::vector<std::int64_t> whole;
            bool anyReal = false;
            if (pos_ < size_ && text_[pos_] == 'a') {
                ++pos_;
                SkipBlank();
                if (pos_ >= size_ || text_[pos_] != ':')
                    return Fail("'a:' expected in an array");
                ++pos_;
                while (true) {
                    SkipBlank();
                    if (pos_ >= size_ || text_[pos_] == '}')
                        break;
                    if (!budget_.Take(16))
                        return Fail("the document needs more memory than the file's size allows");
                    Value number;
                    if (!ReadNumber(number))
                        return false;
                    if (number.type == 'D' && !anyReal) {
                        anyReal = true;
                        reals.assign(whole.begin(), whole.end());
                        whole.clear();
                    }
                    if (anyReal)
                        reals.push_back(number.AsDouble());
                    else
                        whole.push_back(number.i);
                    SkipBlank();
                    if (pos_ < size_ && text_[pos_] == ',')
                        ++pos_;
                    else
                        break;
                }
            }
            std::size_t n = anyReal ? reals.size() : whole.size();
            if (declared >= 0 && std::uint64_t(declared) != n) {
                pos_ = array.offset;
                return Fail("array of '" + element.name + "' declares " + std::to_string(declared) + " elements, holds "
                    + std::to_string(n));
            }
            if (n > 0x7fffffff / 8)
                return Fail("array of '" + element.name + "' is too long");
            Value made = anyReal ? Value::Doubles(reals) : Value::Longs(whole);
            made.offset = array.offset;
            element.values.push_back(std::move(made));
            return true;
        }

        const char* text_;
        std::size_t size_;
        std::size_t pos_ = 0;
        MemoryBudget budget_;
        std::string& error_;
    };

} // namespace

bool ReadAscii(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error)
{
    doc = Document {};
    AsciiReader reader(data, size, error);
    if (reader.Read(doc))
        return true;
    doc = Document {};
    return false;
}

} // namespace fbxio
