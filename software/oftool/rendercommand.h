#ifndef OFTOOL_RENDERCOMMAND_H
#define OFTOOL_RENDERCOMMAND_H

/** "oftool render": renders installed fonts into OF font files; returns the exit status. */
int runRender(int argc, char **argv);

#endif // OFTOOL_RENDERCOMMAND_H
