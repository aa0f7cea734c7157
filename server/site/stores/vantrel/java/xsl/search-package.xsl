<?xml version="1.0" encoding="UTF-8"?>
<!-- Packages of the technology whose names contain the query (any case). -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="search-common.xsl"/>
  <xsl:template match="/">
    <xsl:call-template name="results">
      <xsl:with-param name="hits" select="/index/packages/package[contains(@key, $q)][$q != '']"/>
    </xsl:call-template>
  </xsl:template>
</xsl:stylesheet>
