#pragma once
// The probe's "sweep" command: several commands over several files in one
// process, for the crash sweeps of the sanitizer build. Starting a
// sanitized process costs more than most files' work, so a group of files
// shares one process for every command it is swept with.
//
//   probe sweep [--seconds N] COMMAND... -- FILE...
//
// Each COMMAND is one argument, a probe command with the arguments that
// follow its FILE, split at spaces ("render all --dpi 72 -o -"). Files are
// taken in turn and every command runs on each; what the commands print
// is dropped. After each command the line "sweep: STATUS FILE :: COMMAND"
// goes to standard error, so that a sanitizer report written there stands
// just before the verdict of the command that caused it. A command still
// running after N seconds (100 unless given) ends the process with the
// line "sweep: hang FILE :: COMMAND" and status 124. In the sanitizer
// build, leaks found after a file's commands (the report on standard
// error) add the line "sweep: leaks FILE" and make the status 23.
namespace probe {

// `dispatch` runs one probe command line, its FILE in argv[2].
int Sweep(int argc, char** argv, int (*dispatch)(int argc, char** argv));

}  // namespace probe
