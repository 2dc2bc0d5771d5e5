// The dialog group: New Panorama and Resize Panorama. Neither dialog is offered yet;
// their menu items stay grey.
#include "shell/commands.h"

bool dialogCommandOffered(int) { return false; }
