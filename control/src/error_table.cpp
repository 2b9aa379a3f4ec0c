#include "error_table.h"

#include <string>
#include <string_view>

#include "zubmp3/engine_results.h"

namespace zubmp3 {
namespace {

struct ErrorRow {
    Long number;
    const char16_t* message;
};

// The control's own checks (up to 12); the job statuses of the engine (101
// and up) carry the engine's messages. Trailing blanks are part of the
// messages.
constexpr ErrorRow kErrorTable[] = {
    {0, u"No error "},
    {1, u"Invalid compression level "},
    {2, u"The input file is the same as the output"},
    {3, u"The input file is empty "},
    {4, u"The outputfile file is empty "},
    {5, u"The input file or path is invalid"},
    {6, u"The output file or path is invalid"},
    {7, u"Invalid bitrate value"},
    {8, u"Unexpected error"},
    {9, u"Already executing , wait for the end or call the cancel function"},
    {12, u"Invalid priority level"},
};

constexpr Long kUnexpectedErrorNumber = 255;

Text ascii(std::string_view text) { return Text(text.begin(), text.end()); }

}  // namespace

ReportedError reported_error(Long number) {
    for (const ErrorRow& row : kErrorTable)
        if (row.number == number) return {number, row.message};
    if (const char* message = job_status_message(number)) return {number, ascii(message)};
    return {kUnexpectedErrorNumber, u"Unexpected error " + ascii(std::to_string(number))};
}

}  // namespace zubmp3
