#include "lang/gbk_text.h"

#include <cerrno>
#include <iconv.h>

namespace r2 {
namespace {

std::optional<std::string> convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(in.size() * 2 + 16, '\0');
    // iconv takes a non-const input pointer but never writes through it.
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t done = 0;
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        std::size_t dstLeft = out.size() - done;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false; // EILSEQ or EINVAL: a byte sequence that does not convert
        break;
    }
    iconv_close(cd);
    if (!ok) {
        return std::nullopt;
    }
    out.resize(done);
    return out;
}

} // namespace

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    return convert(gbk, "UTF-8", "GBK");
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    return convert(utf8, "GBK", "UTF-8");
}

} // namespace r2
