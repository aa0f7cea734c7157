// A library under the XML parser's file name that has none of its functions: what a broken
// or foreign libxml2.so.2 found first on the library path looks like to the program.
extern "C" __attribute__((visibility("default"))) int CorvaneNotAnXmlParser()
{
    return 0;
}
