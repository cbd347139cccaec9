// Which program opens a document: the association table of the process
// manager. Internal to the tables library.
//
// The program for a document is looked up, in this order:
//  1. $KALVO_ASSOC: entries "ext=command" separated by ";";
//  2. the association file: $KALVO_ASSOC_FILE when set, else
//     $XDG_CONFIG_HOME/kalvo/associations ($HOME/.config/kalvo/associations
//     when XDG_CONFIG_HOME is unset), then /etc/kalvo/associations; one
//     entry "ext = command" per line, "#" starts a comment line;
//  3. the desktop's default application for the document's MIME type
//     (shared-mime-info globs or /etc/mime.types, the mimeapps.list files
//     and the Exec line of the application's .desktop file);
//  4. xdg-open, when it is found in PATH.
// In 1 and 2, ext is the document's last extension with or without its dot
// ("txt", ".TXT", "*.txt"; case does not matter), or "*" for any document
// (a specific entry of a source wins over its "*" entry); command is a
// program and its arguments, split like the process manager's commands
// (double quotes group). "%1" in an argument stands for the document; when
// no argument holds "%1", the document is added after the command's own
// arguments.

#ifndef MIXTABLE_ACCESS_FILE_ASSOC_H_
#define MIXTABLE_ACCESS_FILE_ASSOC_H_

#include <string>
#include <vector>

#include "platform/env.h"

namespace mixtable {

// How to start the program that opens a document.
struct LaunchPlan {
  std::string program;            // a path, or a bare name looked up in PATH
  std::vector<std::string> args;  // its arguments, the document among them
};

// Fills *plan for the document named document, whose host path doc_host is
// what the program is given. Fails with ENOEXEC when no program is
// associated with it.
platform::Status FindAssociation(const std::string& document,
                                 const std::string& doc_host, LaunchPlan* plan);

// The MIME type the desktop gives a file name ("" when unknown).
std::string DesktopMimeType(const std::string& file_name);

// Finds an executable named name in the directories of $PATH; answers its
// path, or "" when there is none.
std::string SearchPath(const std::string& name);

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_FILE_ASSOC_H_
