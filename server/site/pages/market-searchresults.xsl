<?xml version="1.0" encoding="UTF-8"?>
<!-- The Marketplace search answer: marketsearch/component with id and name, for lparam. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>
  <xsl:param name="lparam" select="''"/>
  <xsl:variable name="q" select="translate(normalize-space($lparam), $upper, $lower)"/>

  <xsl:template match="/">
    <marketsearch query="{$lparam}">
      <xsl:if test="$q != ''">
        <xsl:for-each select="/components/component">
          <xsl:sort select="translate(componentName, $upper, $lower)"/>
          <xsl:variable name="hit">
            <xsl:call-template name="matches">
              <xsl:with-param name="component" select="."/>
              <xsl:with-param name="query" select="$q"/>
            </xsl:call-template>
          </xsl:variable>
          <xsl:if test="$hit = 'yes'">
            <component id="{@SCID}" name="{componentName}"/>
          </xsl:if>
        </xsl:for-each>
      </xsl:if>
    </marketsearch>
  </xsl:template>
</xsl:stylesheet>
