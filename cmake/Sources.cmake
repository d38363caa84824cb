# Source lists. Portable core: no Windows API, compiled for the host too (unit tests, fuzzing,
# the packing tool). Win32 shell: the code that calls the system.

set(MARLO_CORE_SOURCES
  src/common/ArgVector.cpp
  src/common/StartupState.cpp
  src/common/Text.cpp
  src/config/ConfigIds.cpp
  src/config/ConfigBlock.cpp
  src/config/IncludedFileNames.cpp
  src/config/LauncherConfig.cpp
  src/diag/Messages.cpp
  src/diag/PathRules.cpp
  src/instance/Notification.cpp
  src/instance/SingleInstance.cpp
  src/jre/JavaVersion.cpp
  src/jre/JvmHome.cpp
  src/jre/RuntimeHome.cpp
  src/launcher/CommandLine.cpp
  src/launcher/ConsoleSwitches.cpp
  src/system/NativeLibraryPath.cpp
  src/windows/LocaleCode.cpp
  src/windows/MainArguments.cpp
  src/windows/VariableExpander.cpp
  src/windows/VmOptions.cpp
)

set(MARLO_SHELL_SOURCES
  src/config/ConfigReader.cpp
  src/config/IncludedFiles.cpp
  src/diag/CodePage.cpp
  src/diag/ErrorExit.cpp
  src/diag/Log.cpp
  src/diag/Paths.cpp
  src/diag/TempDir.cpp
  src/jre/JavaExeCheck.cpp
  src/jre/JreSearch.cpp
  src/jre/JvmLoader.cpp
  src/jre/PackedJre.cpp
  src/jre/ModernRuntimes.cpp
  src/jre/RegistryRead.cpp
  src/instance/Mailslot.cpp
  src/instance/ProcessWindows.cpp
  src/instance/SingleInstanceWin.cpp
  src/splash/SplashLibrary.cpp
  src/launcher/Startup.cpp
  src/system/Console.cpp
  src/system/NativeLibraryPathWin.cpp
  src/system/Reboot.cpp
  src/windows/JavaVMLauncher.cpp
  src/windows/KavoraRuntime.cpp
  src/windows/LocaleCodeWin.cpp
  src/windows/VariableExpanderWin.cpp
  src/windows/VmOptionsWin.cpp
)

# Compiled per launcher: the native splash window exists in marlo only.
set(MARLO_LAUNCHER_SOURCES
  src/launcher/WinMain.cpp
  src/splash/SplashController.cpp
  src/splash/SplashWindow.cpp
)

# The packing tool's library (also built into marlo-pack.exe and the fuzz targets).
set(MARLO_PACK_SOURCES
  tools/marlo-pack/AppResources.cpp
  tools/marlo-pack/Description.cpp
  tools/marlo-pack/FileIo.cpp
  tools/marlo-pack/KeyReference.cpp
  tools/marlo-pack/Pack.cpp
  tools/marlo-pack/PeImage.cpp
  tools/marlo-pack/Resources.cpp
)
