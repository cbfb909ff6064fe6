#include "app/program_help.h"

#include <cstdio>
#include <cstring>

#ifndef REELSMITH_VERSION
#define REELSMITH_VERSION "0"
#endif

namespace reelsmith {

namespace {

// Laid out for help2man: "Name:" lines open the sections of the man page.
constexpr const char* kHelp = R"(Usage: reelsmith [FILE|FOLDER]...
  or:  reelsmith -v|-a OUTDIR SOURCE... [x]
  or:  reelsmith -v|-a OUTDIR LIST.fls [x]
Convert a list of media files, one after the other, to the container and codecs you choose.

Without parameters the program opens its window. With existing files or folders as
its only parameters it opens its window with those files, and the media files inside
those folders, added to the list; nothing is converted until you ask.

Options:
  -v OUTDIR SOURCE...  convert the sources into the folder OUTDIR (created when
                       missing) with the video and audio choices of the settings file
  -a OUTDIR SOURCE...  extract the audio of the sources into OUTDIR
  LIST.fls             in place of the sources: a file list, one path per line
  x                    as the last parameter: save the run log as log.txt and end
                       the program when the run is over
  -h, --help           show this help and exit
  --version            show the version and exit

The mode letter takes any case. Missing sources and folders named after OUTDIR are
passed over. Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) the program
works offscreen and a run with an output folder is unattended: existing outputs are
kept, the log lines are also printed on standard output, and the program ends when
the run is over.

Option strings:
  The video and audio choices become an option string in the form of the ffmpeg
  command line, for example "-c:v libx264 -crf 23 -c:a aac -b:a 128k"; the Command
  window takes such a string as typed. Blanks separate words; double quotes keep a
  word with blanks together.

Exit status:
  0  every file was converted, or the window was closed
  1  a file failed or was skipped because its output existed, the libraries could
     not be loaded, the file list could not be read, OUTDIR could not be used, or the
     run log could not be saved
  2  nothing to convert: no media file was added

Files:
  ~/.config/Tarnwick/Reelsmith/reelsmith.ini
       the settings ($XDG_CONFIG_HOME in place of ~/.config when set); a command-line
       run uses the output choices stored there
  log.txt
       the run log of a command line ending in x: beside the program when that folder
       is writable, else ~/.local/state/reelsmith/log.txt ($XDG_STATE_HOME in place of
       ~/.local/state when set); each run saves log-DATE-TIME-PID.txt there and log.txt
       shows the last one; the run's last line says where it was saved
  /usr/share/reelsmith/
       the help manual and the dark style, used when they are not beside the program

Example:
  reelsmith -v ~/out ~/clips/a.mp4 ~/clips/b.mkv x
)";

}  // namespace

int AnswerInfoOption(int argc, const char* const* argv)
{
    if (argc < 2)
        return -1;
    const char* first = argv[1];
    if (std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0)
        std::fputs(kHelp, stdout);
    else if (std::strcmp(first, "--version") == 0)
        std::fputs("reelsmith " REELSMITH_VERSION "\n", stdout);
    else
        return -1;
    return 0;
}

}  // namespace reelsmith
