// The native methods of the kavora runtime's Windows platform classes, as the runtime declares them:
// X(row, class, method, JNI signature), rows in registration order, methods in their order within
// the row. The classes live in com/kavora/runtime/installer/platform/win32/. Used by the stand-in
// VM (which declares these natives and checks what is registered), the stand-in kvrinst.dll (which
// exports one function per entry) and the end-to-end tests (what they expect registered).
#pragma once

#define STANDIN_KAVORA_NATIVES(X) \
    X(1, ACLHandling, addACE, "(Ljava/lang/String;ZZZZZILjava/lang/String;)Z") \
    X(2, Common, setWindows95, "(Z)V") \
    X(2, Common, setWindowsNT, "(Z)V") \
    X(3, FileVersion, compare0, "(Ljava/lang/String;Ljava/lang/String;)I") \
    X(4, FolderInfo, getSpecialFolder0, "(IZ)Ljava/lang/String;") \
    X(4, FolderInfo, getPathFromRegistry0, "(Ljava/lang/String;)Ljava/lang/String;") \
    X(4, FolderInfo, getWindowsDirectory0, "()Ljava/lang/String;") \
    X(4, FolderInfo, getSystemDirectory0, "()Ljava/lang/String;") \
    X(4, FolderInfo, getDriveType0, "(Ljava/lang/String;)I") \
    X(4, FolderInfo, getShortPathName0, "(Ljava/lang/String;)Ljava/lang/String;") \
    X(4, FolderInfo, getDownloadsDirectory0, "()Ljava/lang/String;") \
    X(5, Misc, reboot0, "()V") \
    X(5, Misc, getRunningModules0, "(Z)[Ljava/lang/String;") \
    X(5, Misc, getEnvVarPairs0, "()[Ljava/lang/String;") \
    X(5, Misc, broadcastSettingChange0, "()V") \
    X(5, Misc, getPhysicalMemory0, "()J") \
    X(5, Misc, getFreeDiskSpace0, "(Ljava/lang/String;)J") \
    X(5, Misc, moveWithDelayUntilReboot0, "(Ljava/lang/String;Ljava/lang/String;)Z") \
    X(5, Misc, toFront0, "()V") \
    X(5, Misc, terminateProcesses0, "([IZI)I") \
    X(5, Misc, getWindowTitle0, "(I)Ljava/lang/String;") \
    X(6, ObjectPicker, show0, "(ZZZZZ)[Lcom/kavora/runtime/installer/platform/win32/ObjectPicker$Result;") \
    X(7, Registry, keyExists0, "(ILjava/lang/String;I)Z") \
    X(7, Registry, createKey0, "(ILjava/lang/String;I)Z") \
    X(7, Registry, getValue0, "(ILjava/lang/String;Ljava/lang/String;I)Ljava/lang/Object;") \
    X(7, Registry, setValue0, "(ILjava/lang/String;Ljava/lang/String;Ljava/lang/Object;II)Z") \
    X(7, Registry, deleteValue0, "(ILjava/lang/String;Ljava/lang/String;I)V") \
    X(7, Registry, deleteKey0, "(ILjava/lang/String;ZI)V") \
    X(7, Registry, saveKey0, "(ILjava/lang/String;Ljava/lang/String;I)Z") \
    X(7, Registry, restoreKey0, "(ILjava/lang/String;Ljava/lang/String;I)Z") \
    X(7, Registry, enumSubKeys0, "(ILjava/lang/String;I)[Ljava/lang/String;") \
    X(7, Registry, enumValues0, "(ILjava/lang/String;I)[Ljava/lang/String;") \
    X(7, Registry, changeNotifyAssociations0, "()V") \
    X(8, ShellLink, createWide0, "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;ZLjava/lang/String;I)Z") \
    X(8, ShellLink, changeNotify0, "([B[B)Z") \
    X(8, ShellLink, initialize0, "()Z") \
    X(8, ShellLink, uninitialize, "()Z") \
    X(9, VistaFileChooser, initialize0, "()V") \
    X(9, VistaFileChooser, displayDialog0, "(JLjava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IIZLjava/lang/String;[Ljava/lang/String;[Ljava/lang/String;I[Ljava/lang/String;[Z)[Ljava/lang/String;") \
    X(10, VistaTaskDialog, show0, "(JLjava/lang/String;Ljava/lang/String;Ljava/lang/String;IIILjava/lang/String;[Ljava/lang/String;I)I") \
    X(11, Win32CommunicationBackend, getInvalidHandle0, "()J") \
    X(11, Win32CommunicationBackend, createListener0, "(Ljava/lang/String;)J") \
    X(11, Win32CommunicationBackend, readDataBlock0, "(J)[B") \
    X(11, Win32CommunicationBackend, writeDataBlock0, "(J[B)Z") \
    X(11, Win32CommunicationBackend, connectClient0, "(Ljava/lang/String;)J") \
    X(11, Win32CommunicationBackend, connectNamedPipe0, "(J)Z") \
    X(11, Win32CommunicationBackend, disconnectNamedPipe0, "(J)V") \
    X(11, Win32CommunicationBackend, closeHandle0, "(J)V") \
    X(11, Win32CommunicationBackend, isProcessAlive0, "(I)Z") \
    X(11, Win32CommunicationBackend, getCurrentProcessId0, "()I") \
    X(12, Win32Services, installService0, "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I") \
    X(12, Win32Services, changeServiceConfig0, "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IILjava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I") \
    X(12, Win32Services, setRestartServiceConfig0, "(Ljava/lang/String;ZI)I") \
    X(12, Win32Services, stopService0, "(Ljava/lang/String;)I") \
    X(12, Win32Services, startService0, "(Ljava/lang/String;)I") \
    X(12, Win32Services, uninstallService0, "(Ljava/lang/String;)I") \
    X(12, Win32Services, queryStatus0, "(Ljava/lang/String;)I") \
    X(12, Win32Services, getStartType0, "(Ljava/lang/String;)I") \
    X(12, Win32Services, getServiceBinary0, "(Ljava/lang/String;)Ljava/lang/String;") \
    X(13, Win32UserInfo, isMemberOfGroup0, "(I)Z") \
    X(13, Win32UserInfo, executeElevated0, "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)Z") \
    X(13, Win32UserInfo, getElevationType0, "()I") \
    X(13, Win32UserInfo, addUser0, "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;ZZ)Ljava/lang/String;") \
    X(13, Win32UserInfo, deleteUser0, "(Ljava/lang/String;Ljava/lang/String;)I") \
    X(13, Win32UserInfo, deleteLocalGroup0, "(Ljava/lang/String;Ljava/lang/String;)I") \
    X(13, Win32UserInfo, getAccountName0, "(Ljava/lang/String;Z)Ljava/lang/String;") \
    X(13, Win32UserInfo, getUserProfileDirectory0, "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;") \
    X(13, Win32UserInfo, getUserSid0, "()Ljava/lang/String;") \
    X(13, Win32UserInfo, setLsaAccountRight0, "(Ljava/lang/String;Ljava/lang/String;Z)Z")
