// The start-up of tamsel.exe, without the process exit that only the entry point makes.
#ifndef TAMSEL_START_H
#define TAMSEL_START_H

// Code page, command line, main. Returns the exit code; start-up failures are reported on
// standard error and give 1.
int RunTamsel();

#endif
