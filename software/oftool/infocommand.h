#ifndef OFTOOL_INFOCOMMAND_H
#define OFTOOL_INFOCOMMAND_H

/** "oftool info": what OF font files hold; returns the exit status. */
int runInfo(int argc, char **argv);

#endif // OFTOOL_INFOCOMMAND_H
