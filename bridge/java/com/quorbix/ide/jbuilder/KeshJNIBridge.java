package com.quorbix.ide.jbuilder;

/** The plug-in's door to the component manager; the methods live in libKeshBridg. */
public class KeshJNIBridge {
    /** Starts the component manager or brings its window to the front. */
    public native void launchExternal();

    /** Opens the component manager at a tab: "Java", "Local", "Marketplace" or "Testing". */
    public native void openDialogWindow(String tabName);

    /** Opens the component manager's Java tab at a package, class and method. */
    public native void openJavaTab(String packageName, String className, String methodName);
}
