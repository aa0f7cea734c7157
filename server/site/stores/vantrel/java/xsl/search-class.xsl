<?xml version="1.0" encoding="UTF-8"?>
<!-- Classes and interfaces whose names contain the query (any case); a query with a dot
     is also matched against the qualified name. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>
  <xsl:template match="/">
    <xsl:call-template name="results">
      <xsl:with-param name="hits"
          select="/index/class[$q != '' and (contains(@key, $q) or (contains($q, '.') and contains(@qkey, $q)))]"/>
    </xsl:call-template>
  </xsl:template>
</xsl:stylesheet>
