<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="sid" select="''"/>
  <xsl:param name="prodid" select="''"/>
  <xsl:variable name="component" select="(/components/component[@SCID = $prodid] | /page/component)[1]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title">
        <xsl:choose>
          <xsl:when test="$component"><xsl:value-of select="$component/componentName"/></xsl:when>
          <xsl:otherwise>Unknown product</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="section" select="'Marketplace'"/>
      <xsl:with-param name="sid" select="$sid"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:choose>
      <xsl:when test="$component">
        <xsl:call-template name="component-details">
          <xsl:with-param name="component" select="$component"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <p class="notice">The Marketplace has no product "<xsl:value-of select="$prodid"/>".</p>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
