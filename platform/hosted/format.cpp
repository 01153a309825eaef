// The stand-in's wsprintfA: the directives of USER32's formatter, output cut at 1024 bytes.
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "platform/hosted/winapi_hosted.h"

namespace {

constexpr int kOutputLimit = 1024;  // bytes, terminating zero included

class Output {
public:
    explicit Output(char* buffer) : buffer_(buffer) {}
    void Put(char c) {
        if (length_ < kOutputLimit - 1) buffer_[length_++] = c;
    }
    void Put(const char* text, int count) {
        for (int i = 0; i < count; ++i) Put(text[i]);
    }
    void Pad(char fill, int count) {
        for (int i = 0; i < count; ++i) Put(fill);
    }
    int Finish() {
        buffer_[length_] = '\0';
        return length_;
    }

private:
    char* buffer_;
    int length_ = 0;
};

struct Directive {
    bool leftAlign = false;
    bool zeroPad = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;
};

void PutField(Output& out, const Directive& d, const char* text, int length) {
    const int padding = d.width > length ? d.width - length : 0;
    if (!d.leftAlign) out.Pad(d.zeroPad ? '0' : ' ', padding);
    out.Put(text, length);
    if (d.leftAlign) out.Pad(' ', padding);
}

int Digits(std::uint32_t value, unsigned base, bool upper, char* out) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[16];
    int n = 0;
    do {
        reversed[n++] = digits[value % base];
        value /= base;
    } while (value != 0);
    for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
    return n;
}

}  // namespace

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    Output out(buffer);
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out.Put(*p);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.Put('%');
            continue;
        }
        Directive d;
        for (;; ++p) {
            if (*p == '-') d.leftAlign = true;
            else if (*p == '0') d.zeroPad = true;
            else if (*p == '#') d.alternate = true;
            else break;
        }
        while (*p >= '0' && *p <= '9') d.width = d.width * 10 + (*p++ - '0');
        if (*p == '.') {
            d.precision = 0;
            for (++p; *p >= '0' && *p <= '9'; ++p) d.precision = d.precision * 10 + (*p - '0');
        }
        if (*p == 'l' || *p == 'h') ++p;  // all integers are 32 bits here
        char digits[24];
        switch (*p) {
            case 's': {
                const char* text = va_arg(args, const char*);
                if (text == nullptr) text = "(null)";
                int length = static_cast<int>(std::strlen(text));
                if (d.precision >= 0 && d.precision < length) length = d.precision;
                PutField(out, d, text, length);
                break;
            }
            case 'c': {
                const char c = static_cast<char>(va_arg(args, int));
                PutField(out, d, &c, 1);
                break;
            }
            case 'd':
            case 'i': {
                const std::int32_t value = va_arg(args, std::int32_t);
                const std::uint32_t magnitude =
                    value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
                int n = 0;
                if (value < 0) digits[n++] = '-';
                n += Digits(magnitude, 10, false, digits + n);
                PutField(out, d, digits, n);
                break;
            }
            case 'u':
                PutField(out, d, digits, Digits(va_arg(args, std::uint32_t), 10, false, digits));
                break;
            case 'x':
            case 'X': {
                const bool upper = *p == 'X';
                int n = 0;
                if (d.alternate) {
                    digits[n++] = '0';
                    digits[n++] = upper ? 'X' : 'x';
                }
                n += Digits(va_arg(args, std::uint32_t), 16, upper, digits + n);
                PutField(out, d, digits, n);
                break;
            }
            case '\0':
                --p;  // a lone '%' at the end
                break;
            default:
                out.Put(*p);  // unknown directive: its letter, as USER32 does
        }
    }
    va_end(args);
    return out.Finish();
}
