/*
 * setting_file.h - the tool's own settings: replay the command file on
 * connect or not, and the command file's name ("set_para.txt").
 */
#ifndef KX_SETTING_FILE_H
#define KX_SETTING_FILE_H

extern int auto_setting;
extern char setting_file[30];

extern const char setting_para_path[];     /* "set_para.txt" */
extern const char default_setting_file[];  /* "set_file.txt" */

/* Loads auto_setting and setting_file from set_para.txt in the working
 * directory: one flag character, one separator, then the name up to a
 * line end, cut at a character boundary to fit. A missing file or an
 * empty name gives the defaults. */
void init_setting_para();

#endif
