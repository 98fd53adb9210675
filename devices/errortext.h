#pragma once

#include <QString>

// Spanish words for the causes the system and the sound-file library give in English, so that
// no English reaches the operator. Each returns a short phrase without a final stop.

// The cause of a failed file operation, from its errno value: "permiso denegado", "no queda
// espacio en el disco"...
QString fileErrorText(int errnoValue);

// A libsndfile error code (sf_error); systemErrno is what errno held just after the failure,
// used when the library says the system failed.
QString soundFileErrorText(int code, int systemErrno);
