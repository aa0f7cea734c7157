<?xml version="1.0" encoding="UTF-8"?>
<!-- Classes and interfaces whose names contain the query (any case); a query with a dot
     is also matched against the qualified name. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>
  <!-- The query's tests are hoisted out of the predicates: they run once, not once per class. -->
  <xsl:template match="/">
    <xsl:choose>
      <xsl:when test="$q = ''">
        <xsl:call-template name="results"><xsl:with-param name="hits" select="/.."/></xsl:call-template>
      </xsl:when>
      <xsl:when test="contains($q, '.')">
        <xsl:call-template name="results">
          <xsl:with-param name="hits" select="/index/classes/class[contains(@key, $q) or contains(@qkey, $q)]"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="results">
          <xsl:with-param name="hits" select="/index/classes/class[contains(@key, $q)]"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
