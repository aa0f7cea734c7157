#pragma once

// What the header of every group of page handlers names: the router it registers with,
// the request and answer it handles, the site and the page renderer.
class CHttpRouter;
struct CHttpRequest;
struct CHttpResponse;
class CSite;
class CPageRenderer;
