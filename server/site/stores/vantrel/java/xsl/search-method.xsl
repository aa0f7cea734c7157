<?xml version="1.0" encoding="UTF-8"?>
<!-- Methods whose names contain the query (any case), one result per method; the index
     groups methods by name. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>
  <xsl:template match="/">
    <xsl:choose>
      <xsl:when test="$q = ''">
        <xsl:call-template name="results"><xsl:with-param name="hits" select="/.."/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="results">
          <xsl:with-param name="hits" select="/index/methods/methodname[contains(@key, $q)]/method"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
