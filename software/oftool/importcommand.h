#ifndef OFTOOL_IMPORTCOMMAND_H
#define OFTOOL_IMPORTCOMMAND_H

/** "oftool import": makes an OF font file from a directory of glyph images; returns the exit status. */
int runImport(int argc, char **argv);

#endif // OFTOOL_IMPORTCOMMAND_H
