// Tag fields given on the command line and their writing through the
// control: shared by tag-v1, tag-v2 and encode.
#pragma once

#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "zubmp3/host.h"

namespace CLI {
class App;
}

namespace zubmp3::app {

enum class TagChoice { v1, v2, both };

struct TagEdits {
    TagChoice tag = TagChoice::both;            // --tag of encode; tag-v1 and tag-v2 set their own
    std::map<std::string, std::string> values;  // the fields given, by option name ("title", "encoded-by")
    bool force = false;                         // write into a file that holds no MPEG audio

    bool empty() const { return values.empty(); }
};

// Registers the field options on `command`. `offered` both (encode): the
// fields of either tag and --tag v1|v2|both; v1 or v2: that tag's fields.
// A field that both tags have is written to both. Values are checked as
// they are parsed (a year of four digits, a track N or N/M, an ID3v1 genre
// of the list, no ID3v2-only field with --tag v1): a refusal is a usage
// error of the command. An empty value empties the field.
void add_tag_edit_options(CLI::App& command, TagEdits& edits, TagChoice offered = TagChoice::both);

// Writes the edits into the file at `mp3` (a command-line path): each chosen
// tag is read, the given fields changed and the tag written back, so fields
// not given keep their values. Problems go to standard error, each once,
// starting with the path. Answers 0, or 1 when a tag was not written.
int apply_tag_edits(const std::string& mp3, const TagEdits& edits);

// What became of one tag of a file: the control's result and, when it
// failed, what is wrong in words.
struct TagAnswer {
    Long result = 0;
    std::string error;
};

// What a command did to one file: a problem of the file itself (then the
// control was not asked), or the answers for the tags it touched.
struct FileReport {
    std::string file;
    std::string error;
    std::optional<TagAnswer> v1, v2;

    bool failed() const;
    // Each problem once, on standard error: "PATH: ID3v2 tag <done>: <why>".
    void complain_once(const char* done) const;
    // {"file", "error", "id3v1": {"result", "error"}, "id3v2": ...}; errors null when none.
    nlohmann::json json() const;
};

// The tag write of one file, reported rather than printed.
FileReport write_tag_edits(const std::string& file, const TagEdits& edits);

}  // namespace zubmp3::app
