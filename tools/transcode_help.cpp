#include "transcode_help.h"

#ifndef REELSMITH_VERSION
#define REELSMITH_VERSION "0"
#endif

namespace reelsmith {

// Laid out for help2man: "Name:" lines open the sections of the man page.
const char* const kTranscodeHelp = R"(Usage: reelsmith-transcode [OPTION]... INPUT OUTPUT [OUTPUT OPTION STRING]
Convert one media file with the Reelsmith engine; progress is shown on standard error.

The container is chosen from the extension of OUTPUT; OUTPUT "-" is the standard
output (give the container with -f). The output option string holds the encoder,
filter and stream options, as one parameter. Nothing the options name is written over
INPUT, and files are written to local names only.

Options:
  --input-options STR  options for opening INPUT, in the same form (e.g. "-ss 10")
  --threads N          number of conversion threads (default 1)
  --priority P         thread priority: idle, low, normal (default) or high
  -h, --help           show this help and exit
  --version            show the version and exit

Option strings:
  Options in the form of the ffmpeg command line, for example
  "-c:v libx264 -crf 23 -c:a aac -b:a 128k". Blanks separate words; double quotes
  keep a word with blanks together.

Environment:
  REELSMITH_VERBOSE  when set, the libraries' warnings and notes are shown as well as
                     their errors

Exit status:
  0  the file was converted
  1  the conversion failed, or the FFmpeg libraries could not be loaded
  2  the command line is wrong
  Ctrl+C, SIGTERM or SIGHUP stop the conversion and remove the part written; the tool
  then ends by that signal. A second one ends it at once.

Files:
  The FFmpeg 5.1 libraries (libavcodec.so.59 and the others) are loaded from the
  system when the conversion starts. The tool reads no settings file and writes no
  log file.

Example:
  reelsmith-transcode in.mkv out.mp4 "-c:v libx264 -crf 23 -c:a aac"
)";

const char* const kTranscodeVersion = "reelsmith-transcode " REELSMITH_VERSION "\n";

}  // namespace reelsmith
