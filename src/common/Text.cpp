#include "common/Text.h"

#include <cstdio>
#include <cstring>

namespace marlo {

namespace {

std::u16string defaultWiden(const char* text, size_t len) {
    std::u16string out;
    out.reserve(len);
    for (size_t i = 0; i < len; ++i) out.push_back(static_cast<unsigned char>(text[i]));
    return out;
}

std::string defaultNarrow(const char16_t* text, size_t len) {
    std::string out;
    out.reserve(len);
    for (size_t i = 0; i < len; ++i) out.push_back(text[i] < 0x100 ? static_cast<char>(text[i]) : '?');
    return out;
}

NarrowConverters g_converters = {defaultWiden, defaultNarrow};

template <typename Ch>
void appendPadded(std::basic_string<Ch>& out, const std::basic_string<Ch>& body, int width, bool left,
                  char pad) {
    int fill = width - static_cast<int>(body.size());
    if (fill <= 0) {
        out += body;
        return;
    }
    if (left) {
        out += body;
        out.append(static_cast<size_t>(fill), Ch(' '));
        return;
    }
    if (pad == '0' && !body.empty() && (body[0] == Ch('-') || body[0] == Ch('+') || body[0] == Ch(' '))) {
        out.push_back(body[0]);
        out.append(static_cast<size_t>(fill), Ch('0'));
        out.append(body, 1, std::string::npos);
        return;
    }
    out.append(static_cast<size_t>(fill), Ch(pad));
    out += body;
}

// The digits of value in base 8, 10 or 16.
std::string digitText(unsigned long long value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[24];
    char* p = buffer + sizeof buffer;
    do {
        *--p = digits[value % base];
        value /= base;
    } while (value != 0);
    return std::string(p, buffer + sizeof buffer);
}

template <typename Ch>
std::basic_string<Ch> fromAscii(const char* s) {
    std::basic_string<Ch> r;
    for (; *s; ++s) r.push_back(static_cast<Ch>(static_cast<unsigned char>(*s)));
    return r;
}

// Shared engine: Ch is the format's character type; "own" strings are %s, "other" strings %S.
template <typename Ch>
void vformatImpl(std::basic_string<Ch>& out, const Ch* f, va_list args) {
    if (!f) return;
    while (*f) {
        if (*f != Ch('%')) {
            out.push_back(*f++);
            continue;
        }
        const Ch* start = f++;
        bool left = false, plus = false, space = false, alt = false;
        char pad = ' ';
        for (;; ++f) {
            if (*f == Ch('-')) left = true;
            else if (*f == Ch('0')) pad = '0';
            else if (*f == Ch('+')) plus = true;
            else if (*f == Ch(' ')) space = true;
            else if (*f == Ch('#')) alt = true;
            else break;
        }
        int width = 0;
        if (*f == Ch('*')) {
            width = va_arg(args, int);
            if (width < 0) {
                left = true;
                width = -width;
            }
            ++f;
        } else {
            while (*f >= Ch('0') && *f <= Ch('9')) width = width * 10 + (*f++ - Ch('0'));
        }
        int precision = -1;
        if (*f == Ch('.')) {
            ++f;
            precision = 0;
            if (*f == Ch('*')) {
                precision = va_arg(args, int);
                ++f;
            } else {
                while (*f >= Ch('0') && *f <= Ch('9')) precision = precision * 10 + (*f++ - Ch('0'));
            }
        }
        if (width > 100000) width = 100000;
        // Size prefixes: I64, ll, l, h, z, I (pointer-sized).
        int size = 0;  // 0 int, 1 long, 2 64-bit, 3 size_t
        bool shortArg = false;
        if (f[0] == Ch('I') && f[1] == Ch('6') && f[2] == Ch('4')) {
            size = 2;
            f += 3;
        } else if (f[0] == Ch('I') && f[1] == Ch('3') && f[2] == Ch('2')) {
            f += 3;
        } else if (f[0] == Ch('I')) {
            size = 3;
            ++f;
        } else if (f[0] == Ch('l') && f[1] == Ch('l')) {
            size = 2;
            f += 2;
        } else if (f[0] == Ch('l')) {
            size = 1;
            ++f;
        } else if (f[0] == Ch('h')) {
            shortArg = true;
            ++f;
            if (*f == Ch('h')) ++f;
        } else if (f[0] == Ch('z')) {
            size = 3;
            ++f;
        }
        Ch conv = *f;
        if (!conv) {
            out.append(start, f);
            break;
        }
        ++f;
        std::basic_string<Ch> body;
        switch (conv) {
            case Ch('%'):
                out.push_back(Ch('%'));
                continue;
            case Ch('d'):
            case Ch('i'): {
                long long v;
                if (size == 2) v = va_arg(args, long long);
                else if (size == 1) v = va_arg(args, long);
                else if (size == 3) v = static_cast<long long>(va_arg(args, intptr_t));
                else v = va_arg(args, int);
                if (shortArg) v = static_cast<short>(v);
                // The magnitude as unsigned, so that the most negative value needs no special case.
                unsigned long long magnitude = v < 0 ? 0ULL - static_cast<unsigned long long>(v)
                                                     : static_cast<unsigned long long>(v);
                std::string text = v < 0 ? "-" : plus ? "+" : space ? " " : "";
                text += digitText(magnitude, 10, false);
                body = fromAscii<Ch>(text.c_str());
                break;
            }
            case Ch('u'):
            case Ch('x'):
            case Ch('X'):
            case Ch('o'): {
                unsigned long long v;
                if (size == 2) v = va_arg(args, unsigned long long);
                else if (size == 1) v = va_arg(args, unsigned long);
                else if (size == 3) v = static_cast<unsigned long long>(va_arg(args, uintptr_t));
                else v = va_arg(args, unsigned int);
                if (shortArg) v = static_cast<unsigned short>(v);
                const unsigned base = conv == Ch('u') ? 10 : conv == Ch('o') ? 8 : 16;
                std::string text;
                if (alt && v != 0) text = conv == Ch('o') ? "0" : conv == Ch('x') ? "0x" : conv == Ch('X') ? "0X" : "";
                text += digitText(v, base, conv == Ch('X'));
                body = fromAscii<Ch>(text.c_str());
                break;
            }
            case Ch('p'): {
                void* p = va_arg(args, void*);
                std::string text = digitText(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)), 16, true);
                text.insert(0, text.size() < sizeof(void*) * 2 ? sizeof(void*) * 2 - text.size() : 0, '0');
                body = fromAscii<Ch>(text.c_str());
                break;
            }
            case Ch('c'):
            case Ch('C'): {
                int c = va_arg(args, int);
                bool own = conv == Ch('c');
                if (own || sizeof(Ch) == 1) {
                    body.push_back(static_cast<Ch>(c));
                } else {
                    // %C in a wide format: a narrow character.
                    char n = static_cast<char>(c);
                    std::u16string w = g_converters.widen(&n, 1);
                    for (char16_t u : w) body.push_back(static_cast<Ch>(u));
                }
                break;
            }
            case Ch('s'):
            case Ch('S'): {
                // Own-width string for %s, the other width for %S; the 'h'/'l' prefixes force a width.
                bool wideArg = (sizeof(Ch) == 2) == (conv == Ch('s'));
                if (shortArg) wideArg = false;
                if (size == 1) wideArg = true;
                if (wideArg) {
                    const char16_t* s = va_arg(args, const char16_t*);
                    if (!s) s = u"(null)";
                    size_t len = 0;
                    while (s[len] && (precision < 0 || len < static_cast<size_t>(precision))) ++len;
                    if (sizeof(Ch) == 2) {
                        body.assign(reinterpret_cast<const Ch*>(s), len);
                    } else {
                        std::string n = g_converters.narrow(s, len);
                        body.assign(reinterpret_cast<const Ch*>(n.data()), n.size());
                    }
                } else {
                    const char* s = va_arg(args, const char*);
                    if (!s) s = "(null)";
                    size_t len = 0;
                    while (s[len] && (precision < 0 || len < static_cast<size_t>(precision))) ++len;
                    if (sizeof(Ch) == 1) {
                        body.assign(reinterpret_cast<const Ch*>(s), len);
                    } else {
                        std::u16string w = g_converters.widen(s, len);
                        body.assign(reinterpret_cast<const Ch*>(w.data()), w.size());
                    }
                }
                appendPadded(out, body, width, left, ' ');
                continue;
            }
            default:
                // Unknown conversion: copy it as written; no argument is consumed.
                out.append(start, f);
                continue;
        }
        if (precision >= 0 && conv != Ch('c') && conv != Ch('C') && conv != Ch('p')) {
            // Integer precision: minimum number of digits.
            size_t signLen = (!body.empty() && (body[0] == Ch('-') || body[0] == Ch('+') || body[0] == Ch(' '))) ? 1 : 0;
            size_t digits = body.size() - signLen;
            if (digits < static_cast<size_t>(precision))
                body.insert(signLen, static_cast<size_t>(precision) - digits, Ch('0'));
            pad = ' ';
        }
        appendPadded(out, body, width, left, left ? ' ' : pad);
    }
}

}  // namespace

void setNarrowConverters(const NarrowConverters& converters) { g_converters = converters; }

std::u16string widenNarrow(const std::string& text) { return g_converters.widen(text.data(), text.size()); }

std::string narrowWide(const std::u16string& text) { return g_converters.narrow(text.data(), text.size()); }

std::u16string widenLatin1(const std::string& text) { return defaultWiden(text.data(), text.size()); }

size_t u16len(const char16_t* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

bool utf8ToUtf16(const std::string& in, std::u16string& out) {
    out.clear();
    size_t i = 0;
    while (i < in.size()) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(extra) >= in.size() && extra > 0) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(in[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return true;
}

std::string utf16ToUtf8(const std::u16string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        uint32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

void vformatWide(std::u16string& out, const char16_t* format, va_list args) {
    vformatImpl<char16_t>(out, format, args);
}

void vformatNarrow(std::string& out, const char* format, va_list args) { vformatImpl<char>(out, format, args); }

std::u16string formatWide(const char16_t* format, ...) {
    std::u16string out;
    va_list args;
    va_start(args, format);
    vformatWide(out, format, args);
    va_end(args);
    return out;
}

std::string formatNarrow(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    vformatNarrow(out, format, args);
    va_end(args);
    return out;
}

}  // namespace marlo
