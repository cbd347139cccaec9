// The installer program with its wizard: parses the command line (see
// wizard_options.h), shows the wizard and answers the exit status: 0 after
// a complete installation, 1 when it failed, was cancelled or could not
// start (no display: a line on standard error says what to use instead), 2
// for a bad command line.

#ifndef INSTALLER_WIZARD_WIZARD_MAIN_H_
#define INSTALLER_WIZARD_WIZARD_MAIN_H_

int WizardMain(int argc, char** argv);

#endif  // INSTALLER_WIZARD_WIZARD_MAIN_H_
