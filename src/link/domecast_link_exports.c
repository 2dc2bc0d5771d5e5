/* libdomecast_link.so is the link and platform libraries with only the C interface of
 * domecast_link.h visible; the functions themselves come from the link library. */
#include "link/domecast_link.h"
