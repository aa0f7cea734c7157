<?xml version="1.0" encoding="UTF-8"?>
<!-- Over one package's data file: the class named classname (as written, else in any case);
     every class of the package when classname is empty. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>

  <xsl:variable name="wanted" select="translate($classname, '$', '.')"/>
  <xsl:variable name="wantedFolded" select="translate($wanted, $upper, $lower)"/>
  <xsl:variable name="exact" select="/package/class[translate(className, '$', '.') = $wanted]"/>
  <xsl:variable name="folded"
      select="/package/class[translate(translate(className, '$', '.'), $upper, $lower) = $wantedFolded]"/>

  <xsl:template match="/">
    <xsl:choose>
      <xsl:when test="$wanted = ''">
        <xsl:call-template name="results"><xsl:with-param name="hits" select="/package/class"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$exact">
        <xsl:call-template name="results"><xsl:with-param name="hits" select="$exact"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="results"><xsl:with-param name="hits" select="$folded"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="package/class" mode="hit">
    <class>
      <className><xsl:value-of select="translate(className, '$', '.')"/></className>
      <packageName><xsl:value-of select="packageName"/></packageName>
      <kind><xsl:value-of select="@kind"/></kind>
    </class>
  </xsl:template>
</xsl:stylesheet>
