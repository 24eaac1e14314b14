// The shell's side of the viewer's service table (images/viewer/
// viewerservices.h): the main patient window, the patient card, the template
// menu, the service menu, the image strip window and the note window, as the
// main image panel and its views call them.
#pragma once

// Fills the shell's entries of the table; the print entries stay as they
// are. The initialization table's row of the main image panel runs it
// before the panel's class is registered.
void InstallViewerServices();
// Empties the shell's entries (the row's undo).
void RemoveViewerServices();
