#include "transcode_help.h"

#ifndef REELSMITH_VERSION
#define REELSMITH_VERSION "0"
#endif

namespace reelsmith {

// Laid out for help2man: "Name:" lines open the sections of the man page.
const char* const kTranscodeHelp = R"help(Usage: reelsmith-transcode [OPTION]... INPUT OUTPUT [OUTPUT OPTION STRING]
  or:  reelsmith-transcode --batch LIST --output-dir DIR [OPTION]... [OUTPUT OPTION STRING]
Convert one media file with the Reelsmith engine; progress is shown on standard error.
With --batch, convert every file of a list into one folder, several at once.

The container is chosen from the extension of OUTPUT; OUTPUT "-" is the standard
output (give the container with -f). The output option string holds the encoder,
filter and stream options, as one parameter. Nothing the options name is written over
INPUT, and files are written to local names only.

Options:
  --input-options STR  options for opening INPUT, in the same form (e.g. "-ss 10")
  --threads N          number of conversion threads (default 1)
  --priority P         thread priority: idle, low, normal (default) or high
  --batch LIST         convert the files of LIST, a ".fls" file list, or "-" for
                       paths on standard input, one a line
  --output-dir DIR     the folder of the batch's outputs, created when missing
  --format EXT         the outputs' extension, which chooses the container (e.g. mkv);
                       by default each source's own
  --jobs N             convert up to N files at once (default 1)
  -h, --help           show this help and exit
  --version            show the version and exit

Option strings:
  Options in the form of the ffmpeg command line, for example
  "-c:v libx264 -crf 23 -c:a aac -b:a 128k". Blanks separate words; double quotes
  keep a word with blanks together.

Batch:
  Each input becomes DIR/NAME.EXT. An output never replaces a source: the name then
  takes " (1)", " (2)", ...; so does the second input of one name from another folder.
  An output that exists is kept and its input skipped, so a batch run again after a
  crash or a stop converts only what is left. Outputs appear only when complete.
  Standard output gets one line per input as it ends, its fields separated by a tab:
    converted PATH OUTPUT | failed PATH REASON | skipped PATH REASON
  then "Converted: N, failed: N, skipped: N". Standard error shows the progress when
  it is a terminal. Ctrl+C, SIGTERM or SIGHUP stop every job and remove their parts.
  To share a list among many machines (GNU parallel over ssh, a Slurm array job), see
  /usr/share/doc/reelsmith/scale-out.md (docs/scale-out.md in the sources).

Environment:
  REELSMITH_VERBOSE  when set, the libraries' warnings and notes are shown as well as
                     their errors

Exit status:
  0  the file was converted (every file of a batch)
  1  the conversion failed, or the FFmpeg libraries could not be loaded; in a batch, a
     file was not converted (failed or skipped), or the list or folder cannot be used
  2  the command line is wrong, or a batch had nothing to convert
  Ctrl+C, SIGTERM or SIGHUP stop the conversion and remove the part written; the tool
  then ends by that signal. A second one ends it at once.

Files:
  The FFmpeg 5.1 libraries (libavcodec.so.59 and the others) are loaded from the
  system when the conversion starts. The tool reads no settings file and writes no
  log file.

Example:
  reelsmith-transcode in.mkv out.mp4 "-c:v libx264 -crf 23 -c:a aac"

  ls clips/*.mov | reelsmith-transcode --batch - --output-dir out --format mp4 --jobs 2
)help";

const char* const kTranscodeVersion = "reelsmith-transcode " REELSMITH_VERSION "\n";

}  // namespace reelsmith
