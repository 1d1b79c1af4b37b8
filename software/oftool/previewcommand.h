#ifndef OFTOOL_PREVIEWCOMMAND_H
#define OFTOOL_PREVIEWCOMMAND_H

/** "oftool preview": draws an OF font file as a PNG sheet; returns the exit status. */
int runPreview(int argc, char **argv);

#endif // OFTOOL_PREVIEWCOMMAND_H
