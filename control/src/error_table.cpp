#include "error_table.h"

#include <string>

namespace zubmp3 {
namespace {

struct ErrorRow {
    Long number;
    const char16_t* message;
};

// The control's own checks (up to 12) and the job statuses of the engine (101
// and up). Trailing blanks are part of the messages.
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
    {101, u"Unable to load required dll"},
    {102, u"Invalid wav file"},
    {103, u"Error openning the wav file"},
    {104, u"Cannot create the destination mp3 file"},
    {105, u"Error opening encoding stream or invalid settings"},
    {106, u"Encoder failed, contact the developer"},
    {107, u"Output file write error"},
    {108, u"Invalid bitrate value "},
    {109, u"Invalid quality settings"},
    {110, u"Destination filename is missing"},
    {111, u"Cannot create destination folder"},
    {112, u"User abort"},
    {120, u"Invalid stereo mode value"},
};

constexpr Long kUnexpectedErrorNumber = 255;

Text decimal(Long number) {
    const std::string digits = std::to_string(number);
    return Text(digits.begin(), digits.end());
}

}  // namespace

ReportedError reported_error(Long number) {
    for (const ErrorRow& row : kErrorTable)
        if (row.number == number) return {number, row.message};
    return {kUnexpectedErrorNumber, u"Unexpected error " + decimal(number)};
}

}  // namespace zubmp3
