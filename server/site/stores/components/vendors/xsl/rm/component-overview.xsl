<?xml version="1.0" encoding="UTF-8"?>
<!-- A catalogued component's page, by SCID, over the catalogue. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../../../../../pages/catalogue.xsl"/>
  <xsl:param name="scid" select="''"/>
  <xsl:variable name="component" select="/components/component[@SCID = $scid][1]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title">
        <xsl:choose>
          <xsl:when test="$component"><xsl:value-of select="$component/componentName"/></xsl:when>
          <xsl:otherwise>Unknown component</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="section" select="'Local'"/>
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
        <p class="notice">The catalogue has no component with the SCID "<xsl:value-of select="$scid"/>".
          A scan of your CLASSPATH brings the local index up to date.</p>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
