<?xml version="1.0" encoding="UTF-8"?>
<!-- The frame of every page: masthead with the four areas, the page's own content (the
     importing sheet's templates in mode "content"), and a footer naming the site's data. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes" doctype-system="about:legacy-compat"/>

  <xsl:variable name="site" select="document('../site.xml')/site"/>
  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>

  <xsl:template name="layout">
    <xsl:param name="title"/>
    <xsl:param name="section"/>
    <xsl:param name="lead"/>
    <xsl:param name="sid"/>
    <html lang="en">
      <head>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <title><xsl:value-of select="$title"/> · Vantrel</title>
        <link rel="stylesheet" href="/style/vantrel.css"/>
      </head>
      <body>
        <header class="masthead">
          <span class="brand">Vantrel</span>
          <nav>
            <xsl:call-template name="nav-link">
              <xsl:with-param name="href" select="'/vantrel/javatab/home.jsp'"/>
              <xsl:with-param name="text" select="'Java'"/>
              <xsl:with-param name="current" select="$section"/>
            </xsl:call-template>
            <xsl:call-template name="nav-link">
              <xsl:with-param name="href" select="'/vantrel/localtab/home.jsp'"/>
              <xsl:with-param name="text" select="'Local'"/>
              <xsl:with-param name="current" select="$section"/>
            </xsl:call-template>
            <xsl:call-template name="nav-link">
              <xsl:with-param name="href" select="concat('/vantrel/markettab/home.jsp?sid=', $sid)"/>
              <xsl:with-param name="text" select="'Marketplace'"/>
              <xsl:with-param name="current" select="$section"/>
            </xsl:call-template>
            <xsl:call-template name="nav-link">
              <xsl:with-param name="href" select="'/vantrel/testtab/upload.jsp'"/>
              <xsl:with-param name="text" select="'Testing'"/>
              <xsl:with-param name="current" select="$section"/>
            </xsl:call-template>
            <xsl:call-template name="nav-link">
              <xsl:with-param name="href" select="'/vantrel/ui/help/list.jsp'"/>
              <xsl:with-param name="text" select="'Support'"/>
              <xsl:with-param name="current" select="$section"/>
            </xsl:call-template>
          </nav>
        </header>
        <main>
          <h1><xsl:value-of select="$title"/></h1>
          <xsl:if test="string($lead)">
            <p class="lead"><xsl:value-of select="$lead"/></p>
          </xsl:if>
          <xsl:apply-templates select="/" mode="content"/>
        </main>
        <footer>
          Corvane Component Manager reference server. Java data from JDK
          <xsl:value-of select="$site/@jdk"/> (<xsl:value-of select="$site/@javaVendor"/>);
          <xsl:value-of select="$site/counts/@components"/> catalogued components; built
          <xsl:value-of select="substring($site/@built, 1, 10)"/>.
        </footer>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="nav-link">
    <xsl:param name="href"/>
    <xsl:param name="text"/>
    <xsl:param name="current"/>
    <a href="{$href}">
      <xsl:if test="$current = $text"><xsl:attribute name="class">current</xsl:attribute></xsl:if>
      <xsl:value-of select="$text"/>
    </a>
  </xsl:template>

  <!-- Links to the Java reference pages the server renders itself. -->
  <xsl:template name="class-page-url">
    <xsl:param name="technology"/>
    <xsl:param name="package"/>
    <xsl:param name="class"/>
    <xsl:value-of select="concat('/xql.dll/vantrel/java/data/', $technology, '/', $package, '.xml',
                                 '?xslfolder=vantrel:/java/xsl/1.0&amp;xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl',
                                 '&amp;xmlpage=', $package, '.xml&amp;fullyqualified=', $package, '.', $class)"/>
  </xsl:template>

  <xsl:template name="package-page-url">
    <xsl:param name="technology"/>
    <xsl:param name="package"/>
    <xsl:param name="docroot"/>
    <xsl:value-of select="concat('/xql.dll/vantrel/java/data/', $technology, '/', $package, '.xml',
                                 '?xslsheet=vantrel:java/xsl/1.1/win/java-package-references.xsl&amp;packagename=', $package,
                                 '&amp;packagelink=', $docroot, translate($package, '.', '/'), '/package-summary.html')"/>
  </xsl:template>

</xsl:stylesheet>
