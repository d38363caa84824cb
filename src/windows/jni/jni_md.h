// Found by the JNI headers' own #include "jni_md.h" before any platform header of the machine
// that builds the launcher: the launcher always speaks the Windows JNI ABI.
#ifndef MARLO_JNI_MD_H
#define MARLO_JNI_MD_H

#include "../JniPlatform.h"

#endif
