package com.quorbix.ide.other;

/** A plug-in class the library does not serve: its natives must not bind. */
public class KeshJNIBridge {
    public native void launchExternal();

    public native void openDialogWindow(String tabName);

    public native void openJavaTab(String packageName, String className, String methodName);
}
