// The fast log filters against the literal ones on small texts. The first byte chooses how
// the text is made: from a small alphabet (so that lines are often parts of other lines),
// the same through the relay log reader, or as raw Windows-1252 bytes.

#include "LiteralLogFilter.h"
#include "platform/AnsiText.h"
#include "ucon/LogFilter.h"
#include "ucon/RelayLogReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace garrison;

namespace {

constexpr char16_t kAlphabet[] = u"ab \r\n\r\n\r\u00FA\u00DAcvarsCVARS\u017F";
constexpr std::size_t kAlphabetSize = sizeof(kAlphabet) / sizeof(kAlphabet[0]) - 1;

void expectSame(const QString& fast, const QString& literal)
{
    if (fast != literal) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The literal filter is quadratic: keep the texts small.
    if (size < 1 || size > 512) {
        return 0;
    }
    QString text;
    const int mode = data[0] % 3;
    if (mode == 2) {
        text = fromAnsi(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    } else {
        for (std::size_t i = 1; i < size; ++i) {
            text.append(QChar(kAlphabet[data[i] % kAlphabetSize]));
        }
        if (mode == 1) {
            text = RelayLogReader::fromFileContent(text);
        }
    }
    expectSame(LogFilter::CleanU(text), literal::CleanU(text));
    expectSame(LogFilter::CleanU2(text), literal::CleanU2(text));
    expectSame(LogFilter::RemoveBlanks(text), literal::newclean(literal::RemoveBlanks(text)));
    expectSame(LogFilter::MasterParse(text), literal::MasterParse(text));
    return 0;
}
