// The platform half of the JNI headers for Windows: the jvm.dll ABI uses __stdcall entry points
// and a 32-bit "long" jint, whatever the build machine's own JNI headers say.
#pragma once

#ifndef _WIN32
#error "JniPlatform.h describes the Windows JNI ABI only"
#endif

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#ifndef JNIIMPORT
#define JNIIMPORT __declspec(dllimport)
#endif
#ifndef JNICALL
#define JNICALL __stdcall
#endif

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;
